#include "app/main.h"

#include <optional>

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

}  // namespace

void playNewGame(std::string_view game, const std::optional<NotKept>& notKept) {
  const auto writer = writerFor(gameStatePath(game), notKept);
  const Handover h = runSetup(writer->notice());
  runTimer(h.nLevel, h.nPerLevel, h.mode, *writer);
}

void playStructure(const Structure& structure, const std::filesystem::path& file,
                   const std::optional<NotKept>& notKept) {
  if (structure.entries.empty()) return;
  blankScreen();
  const auto writer = writerFor(file, notKept);
  writer->keepStructure(formatStructure(structure, "the structure of a running game"));
  showKeepingNotice(writer->notice());
  const Game game = Game::of(structure);
  if (game.mode(0) == Mode::minutes) {
    if (!game.name().empty()) sayCentred(4, krx::utf8ToCp437(game.name()));
    startPrompt(writer->notice());
  }
  runGame(game, *writer, 0);
}

Result<void, Refusal> RESUME(const SavedGame& saved, StateWriter::Writing writing) {
  KRX_ROUTINE("RESUME");
  const auto standing = standingAt(saved, krx::EPOCHSECONDS());
  if (!standing.ok()) return standing.failure();
  const ResumePoint& point = standing.value();
  blankScreen();
  StateWriter writer(stateLocationOf(saved.file), writing, saved.file.filename().string());
  runGame(saved.game, writer, point);
  return {};
}

}  // namespace potclock
