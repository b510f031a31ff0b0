#include "app/resume.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "app/gamejournal.h"
#include "app/levels.h"
#include "runtime/console.h"
#include "runtime/context.h"
#include "runtime/error.h"

namespace potclock {

namespace {

constexpr const char* kGameOver =
    "potclock: the game is over: its last level ran out while the clock was closed";

}  // namespace

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
  if (!resumePoint(std::get<GameState>(loaded), now)) {
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
  const auto point = resumePoint(state, krx::RT().backend->epochSeconds());
  if (!point) {
    krx::OUTERR(std::string(kGameOver) + "\n");
    removeGameState(file);
    return;
  }
  // The screen as the dialogue leaves it for the timer.
  krx::SETCOLOR(kSetupColors);
  krx::SCROLL();
  krx::SETPOS(0, 0);
  krx::SETMOUSE(false);
  GameJournal journal(stateLocationOf(file), writing);
  journal.begin(state.nMinutes, state.hands);
  runTimer(point->nLevel, state.nMinutes, state.hands ? "H" : "M", journal, &point->within);
}

void RESUME() {
  KRX_ROUTINE("RESUME");
  resumeGame(gameStatePath(), GameJournal::Writing::inBackground);
}

}  // namespace potclock
