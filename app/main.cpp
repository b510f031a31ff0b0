#include "app/main.h"

#include <optional>

#include "app/disk/channel.h"
#include "app/disk/statefile.h"
#include "app/game/game.h"
#include "app/game/structurefile.h"
#include "app/screens/notice.h"
#include "app/screens/say.h"
#include "app/screens/setup.h"
#include "app/screens/timer.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"
#include "runtime/lang/error.h"

namespace potclock {

void MAIN() {
  KRX_ROUTINE("MAIN");
  playNewGame({});
}

namespace {

// Opened before the game's first screen, so that a game that cannot be kept
// is said there, before the game runs.
std::unique_ptr<StateWriter> writerFor(const std::filesystem::path& file,
                                       const std::optional<NotKept>& notKept) {
  if (notKept) return std::make_unique<StateWriter>(*notKept);
  return std::make_unique<StateWriter>(
      file.empty() ? std::nullopt : std::optional(stateLocationOf(file)),
      StateWriter::Writing::inBackground, file.filename().string());
}

// The director's channel of a game this clock keeps; none for one it does
// not keep, which another clock's channel, or none, answers for.
std::unique_ptr<Channel> channelFor(const std::filesystem::path& file,
                                    const std::optional<NotKept>& notKept) {
  if (notKept || file.empty()) return nullptr;
  auto opened = Channel::open(stateLocationOf(file), file.filename().string());
  return opened.ok() ? std::move(opened.value()) : nullptr;
}

// The point a game with a planned start begins at: its first entry whole.
Within plannedStart(double startsAt, int length, Mode mode) {
  Within w;
  w.startsAt = startsAt;
  if (mode == Mode::minutes) w.secondsLeft = 60.0 * length;
  return w;
}

}  // namespace

void playNewGame(std::string_view game, const std::optional<NotKept>& notKept, double startsAt) {
  const auto writer = writerFor(gameStatePath(game), notKept);
  const Handover h = runSetup(writer->notice());
  const auto channel = channelFor(gameStatePath(game), notKept);
  const Within planned = plannedStart(startsAt, h.nPerLevel, h.mode);
  runTimer(h.nLevel, h.nPerLevel, h.mode, *writer, startsAt > 0 ? &planned : nullptr,
           channel.get());
}

void playStructure(const Structure& structure, const std::filesystem::path& file,
                   const std::optional<NotKept>& notKept, double startsAt) {
  if (structure.entries.empty()) return;
  blankScreen();
  const auto writer = writerFor(file, notKept);
  writer->keepStructure(formatStructure(structure, "the structure of a running game"));
  showKeepingNotice(writer->notice());
  const Game game = Game::of(structure);
  if (game.mode(0) == Mode::minutes && startsAt <= 0) {
    if (!game.name().empty()) sayCentred(4, krx::utf8ToCp437(game.name()));
    startPrompt(writer->notice());
  }
  const auto channel = channelFor(file, notKept);
  const Within planned = plannedStart(startsAt, game.length(0), game.mode(0));
  runGame(game, *writer, 0, startsAt > 0 ? &planned : nullptr, channel.get());
}

Result<void, Refusal> RESUME(const SavedGame& saved, StateWriter::Writing writing) {
  KRX_ROUTINE("RESUME");
  const auto standing = standingAt(saved, krx::EPOCHSECONDS());
  if (!standing.ok()) return standing.failure();
  const ResumePoint& point = standing.value();
  blankScreen();
  StateWriter writer(stateLocationOf(saved.file), writing, saved.file.filename().string());
  const auto channel = channelFor(saved.file, {});
  runGame(saved.game, writer, point, channel.get());
  return {};
}

}  // namespace potclock
