#include "app/resume.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "app/gamejournal.h"
#include "app/levels.h"
#include "app/setup.h"
#include "app/structurefile.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "runtime/lang/item.h"

namespace potclock {

namespace {

constexpr const char* kGameOver =
    "potclock: the game is over: its last level ran out while the clock was closed";

// Why a saved game is not taken up.
struct Refusal {
  std::string message;
  int status;         // the exit status
  bool over = false;  // the game is over, and its file goes
};

Refusal damaged(const std::filesystem::path& file) {
  return {loadFailureMessage(file, {Failure::damaged, {}}), 1};
}

// Where a saved game stands at `now`, or why it cannot be taken up.
using Standing = std::variant<ResumePoint, TournamentResume, Refusal>;

Standing standingAt(const SavedGame& game, double now) {
  if (game.state.structure) {
    if (!game.structure) return damaged(game.file);
    if (auto at = tournamentResumePoint(game.state, *game.structure, now)) return *at;
    return damaged(game.file);
  }
  if (auto point = resumePoint(game.state, now)) return *point;
  return Refusal{kGameOver, 0, true};
}

// Tells a refusal on standard error: the runtime's while one runs, which
// holds it until the terminal is back. Returns the exit status.
int refuse(const std::filesystem::path& file, const Refusal& refusal) {
  if (krx::hasRuntime()) {
    krx::OUTERR(refusal.message + "\n");
    krx::ERRORLEVEL(refusal.status);
  } else {
    std::fprintf(stderr, "%s\n", refusal.message.c_str());
  }
  if (refusal.over) removeGameState(file);
  return refusal.status;
}

}  // namespace

std::optional<Tournament> loadStructureCopy(const StateDir& dir, std::string_view name) {
  const std::string copy = structureCopyName(name);
  // The copy was written from a structure file, so it is no larger than one.
  const auto text = dir.read(copy, kMaxStructureFileSize);
  if (!text.ok()) return std::nullopt;
  auto read = parseStructure(text.value(), copy);
  if (auto* t = std::get_if<Tournament>(&read)) return std::move(*t);
  return std::nullopt;
}

std::optional<TournamentResume> tournamentResumePoint(const GameState& state, const Tournament& t,
                                                      double now) {
  if (state.nLevel < 1 || static_cast<std::size_t>(state.nLevel) > t.entries.size())
    return std::nullopt;
  std::size_t index = static_cast<std::size_t>(state.nLevel) - 1;
  const Entry& e = t.entries[index];
  if (state.nPerLevel != e.length || state.mode != entryMode(t, index)) return std::nullopt;
  TournamentResume point;
  point.entry = index;
  if (state.mode == Mode::hands) {
    point.within.handsCounted = state.handsCounted;
    return point;
  }
  if (state.paused) {
    point.within.paused = true;
    point.within.secondsLeft = static_cast<double>(state.secondsLeft);
    return point;
  }
  double length = 60.0 * e.length;
  const double left = state.endsAt - now;
  if (left > 0) {
    point.within.secondsLeft = std::min(left, length);
    return point;
  }
  // Entries end back to back: the next one started -left seconds ago.
  double over = -left;
  const std::size_t last = t.entries.size() - 1;
  for (;;) {
    if (index < last) ++index;
    if (entryMode(t, index) == Mode::hands) break;  // waits for its first hand
    length = 60.0 * t.entries[index].length;
    if (index == last) over = krx::remainderOf(over, length);
    if (over < length) {
      point.within.secondsLeft = length - over;
      break;
    }
    over -= length;
  }
  point.entry = index;
  return point;
}

std::optional<ResumePoint> resumePoint(const GameState& state, double now) {
  ResumePoint point;
  point.nLevel = state.nLevel;
  if (state.mode == Mode::hands) {
    point.within.handsCounted = state.handsCounted;
    return point;
  }
  const double length = 60.0 * state.nPerLevel;
  if (state.paused) {
    point.within.paused = true;
    point.within.secondsLeft = static_cast<double>(state.secondsLeft);
    return point;
  }
  double left = state.endsAt - now;
  if (left > 0) {
    // A wall clock set back while the game was closed cannot lengthen the
    // level beyond its own length.
    point.within.secondsLeft = std::min(left, length);
    return point;
  }
  // Levels end back to back: the first one after the saved level started
  // when that ended, -left seconds ago.
  const double over = -left;
  const double passed = std::floor(over / length);
  if (state.nLevel + 1 + passed > kLastLevel) return std::nullopt;
  point.nLevel = state.nLevel + 1 + static_cast<int>(passed);
  point.within.secondsLeft = length - (over - passed * length);
  return point;
}

std::variant<SavedGame, int> loadSavedGame(const std::filesystem::path& file, double now) {
  // The directory opened once, for the game and a structure game's copy.
  const auto dir = StateDir::open(stateLocationOf(file), false);
  const std::string name = file.filename().string();
  auto loaded = dir.ok() ? loadGameState(dir.value(), name) : Result<GameState>(dir.failure());
  if (!loaded.ok()) return refuse(file, {loadFailureMessage(file, loaded.failure()), 1});
  SavedGame game{file, std::move(loaded.value()), std::nullopt};
  if (game.state.structure) game.structure = loadStructureCopy(dir.value(), name);
  const Standing standing = standingAt(game, now);
  if (const auto* refusal = std::get_if<Refusal>(&standing)) return refuse(file, *refusal);
  return game;
}

void RESUME(const SavedGame& game, GameJournal::Writing writing) {
  KRX_ROUTINE("RESUME");
  const Standing standing = standingAt(game, krx::RT().backend->epochSeconds());
  if (const auto* refusal = std::get_if<Refusal>(&standing)) {
    refuse(game.file, *refusal);
    return;
  }
  blankScreen();
  GameJournal journal(stateLocationOf(game.file), writing, game.file.filename().string());
  if (const auto* entry = std::get_if<TournamentResume>(&standing)) {
    runTournament(*game.structure, journal, entry);
    return;
  }
  const ResumePoint& point = std::get<ResumePoint>(standing);
  journal.begin(game.state.nPerLevel, game.state.mode);
  runTimer(point.nLevel, game.state.nPerLevel, game.state.mode, journal, &point.within);
}

}  // namespace potclock
