#include "app/gamejournal.h"

#include <cmath>
#include <string>

#include "runtime/console.h"
#include "runtime/context.h"

namespace potclock {

namespace {
// The wall clock can be stepped while the game runs: a fresh write each
// minute keeps the level's end in the file in step with it.
constexpr double kRewriteEvery = 60.0;
// A level end that moves by more than this is a restarted level, not the
// jitter between a pass's clock readings.
constexpr double kEndTolerance = 1.0;
}  // namespace

GameJournal::GameJournal(std::filesystem::path file, int nMinutes, bool hands)
    : active_(true), file_(std::move(file)) {
  game_.nMinutes = nMinutes;
  game_.hands = hands;
}

void GameJournal::structureEntry(int length, bool hands) {
  game_.structure = true;
  game_.nMinutes = length;
  game_.hands = hands;
}

void GameJournal::running(int nLevel, double secondsLeft) {
  GameState s = game_;
  s.nLevel = nLevel;
  s.endsAt = krx::RT().backend->epochSeconds() + secondsLeft;
  const bool same = written_ && written_->nLevel == nLevel && !written_->paused &&
                    std::fabs(written_->endsAt - s.endsAt) <= kEndTolerance;
  if (same && krx::RT().backend->monotonic() - writtenAt_ < kRewriteEvery) return;
  keep(s);
}

void GameJournal::paused(int nLevel, long secondsLeft) {
  GameState s = game_;
  s.nLevel = nLevel;
  s.paused = true;
  s.secondsLeft = secondsLeft;
  keep(s);
}

void GameJournal::hand(int nLevel, int handsCounted) {
  GameState s = game_;
  s.nLevel = nLevel;
  s.handsCounted = handsCounted;
  if (written_ != s) keep(s);
}

void GameJournal::finished() {
  if (!active_) return;
  active_ = false;
  if (!file_.empty()) removeGameState(file_);
}

void GameJournal::keep(const GameState& state) {
  if (!active_) return;
  written_ = state;
  writtenAt_ = krx::RT().backend->monotonic();
  const std::string why = file_.empty() ? "neither XDG_STATE_HOME nor HOME names a directory"
                                        : saveGameState(file_, state);
  if (!why.empty()) reportFailure(why);
}

void GameJournal::reportFailure(const std::string& why) {
  // Told once, and on standard error, which the terminal holds back until
  // it is restored: the clock on the screen goes on regardless.
  if (failed_) return;
  failed_ = true;
  const std::string where = file_.empty() ? "" : " in " + file_.string();
  krx::OUTERR("potclock: cannot keep the game" + where + ": " + why + "\n");
}

}  // namespace potclock
