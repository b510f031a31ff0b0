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

// The structure the game in `file` was started with.
std::optional<Tournament> savedStructure(const std::filesystem::path& file) {
  auto dir = StateDir::open(stateLocationOf(file), false);
  if (const auto* opened = std::get_if<StateDir>(&dir))
    return loadStructureCopy(*opened, file.filename().string());
  return std::nullopt;
}

// Where a saved structure game stands now, or nothing when its state or its
// structure cannot be used.
std::optional<TournamentResume> structureGame(const std::filesystem::path& file,
                                              const GameState& state, double now,
                                              std::optional<Tournament>& t) {
  t = savedStructure(file);
  if (!t) return std::nullopt;
  return tournamentResumePoint(state, *t, now);
}

}  // namespace

std::optional<Tournament> loadStructureCopy(const StateDir& dir, std::string_view name) {
  const std::string copy = structureCopyName(name);
  // The copy was written from a structure file, so it is no larger than one.
  auto text = dir.read(copy, kMaxStructureFileSize);
  if (!std::holds_alternative<std::string>(text)) return std::nullopt;
  auto read = parseStructure(std::get<std::string>(text), copy);
  if (auto* t = std::get_if<Tournament>(&read)) return std::move(*t);
  return std::nullopt;
}

std::optional<TournamentResume> tournamentResumePoint(const GameState& state, const Tournament& t,
                                                      double now) {
  if (state.nLevel < 1 || static_cast<std::size_t>(state.nLevel) > t.entries.size())
    return std::nullopt;
  std::size_t index = static_cast<std::size_t>(state.nLevel) - 1;
  const Entry& e = t.entries[index];
  if (state.nMinutes != e.length || state.hands != countsHands(t, index)) return std::nullopt;
  TournamentResume point;
  point.entry = index;
  if (state.hands) {
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
    if (countsHands(t, index)) break;  // waits for its first hand
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
  if (state.hands) {
    point.within.handsCounted = state.handsCounted;
    return point;
  }
  const double length = 60.0 * state.nMinutes;
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

std::optional<int> resumeRefusal(const std::filesystem::path& file, double now) {
  const auto loaded = loadGameState(file);
  if (const auto* failure = std::get_if<LoadFailure>(&loaded)) {
    std::fprintf(stderr, "%s\n", loadFailureMessage(file, *failure).c_str());
    return 1;
  }
  const GameState& state = std::get<GameState>(loaded);
  if (state.structure) {
    std::optional<Tournament> t;
    if (structureGame(file, state, now, t)) return std::nullopt;
    std::fprintf(stderr, "%s\n", loadFailureMessage(file, {LoadFailure::damaged, {}}).c_str());
    return 1;
  }
  if (!resumePoint(state, now)) {
    std::fprintf(stderr, "%s\n", kGameOver);
    removeGameState(file);
    return 0;
  }
  return std::nullopt;
}

void resumeGame(const std::filesystem::path& file, GameJournal::Writing writing) {
  const auto loaded = loadGameState(file);
  if (const auto* failure = std::get_if<LoadFailure>(&loaded)) {
    krx::OUTERR(loadFailureMessage(file, *failure) + "\n");
    krx::ERRORLEVEL(1);
    return;
  }
  const GameState& state = std::get<GameState>(loaded);
  if (state.structure) {
    std::optional<Tournament> t;
    const auto at = structureGame(file, state, krx::RT().backend->epochSeconds(), t);
    if (!at) {
      krx::OUTERR(loadFailureMessage(file, {LoadFailure::damaged, {}}) + "\n");
      krx::ERRORLEVEL(1);
      return;
    }
    blankScreen();
    GameJournal journal(stateLocationOf(file), writing, file.filename().string());
    runTournament(*t, journal, &*at);
    return;
  }
  const auto point = resumePoint(state, krx::RT().backend->epochSeconds());
  if (!point) {
    krx::OUTERR(std::string(kGameOver) + "\n");
    removeGameState(file);
    return;
  }
  blankScreen();
  GameJournal journal(stateLocationOf(file), writing, file.filename().string());
  journal.begin(state.nMinutes, state.hands);
  runTimer(point->nLevel, state.nMinutes, state.hands ? "H" : "M", journal, &point->within);
}

void RESUME() {
  KRX_ROUTINE("RESUME");
  resumeGame(gameStatePath(), GameJournal::Writing::inBackground);
}

}  // namespace potclock
