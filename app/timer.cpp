#include "app/timer.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/clock.h"
#include "app/gamejournal.h"
#include "app/levels.h"
#include "app/say.h"
#include "app/timertexts.h"
#include "app/tvband.h"
#include "bigtext/bigletters.h"
#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using namespace krx;

namespace {

// Drops the keys typed but not read yet, so that those pressed at a pause,
// a question or the skip tones are not taken for commands afterwards.
void clearTypeahead() {
  _KEYBOARD("");
}

void showCaption(int nLevel) {
  say(4, 1, std::string(kCaption) + levelDesignation(nLevel) + ")");
}

void showNextLevelOf(int nLevel) {
  const std::string label(levelLabel(nLevel + 1));
  showNextLevel(NextLevel{label, ALLTRIM(label), ""});
}

// The level's end that a key asks for: Escape asks whether to quit (keys
// typed while the question stood are dropped), "+" and "-" skip.
std::optional<Outcome> levelEndOf(int key) {
  if (key == K_ESC) {
    if (quitConfirmed()) return Outcome::quit;
    clearTypeahead();
  }
  if (key == kSkipBackKey) return Outcome::skippedBack;
  if (key == kSkipForwardKey) return Outcome::skippedForward;
  return std::nullopt;
}

Outcome runHands(int nLevel, int nPerLevel, GameJournal& journal, int firstHand) {
  for (int nHand = firstHand; nHand <= nPerLevel; ++nHand) {
    journal.hand(nLevel, nHand - 1);
    SAYBIG(15, handCountText(nHand, nPerLevel));
    // A key pressed twice by mistake counts one hand.
    INKEY(0.1);
    INKEY(0.1);
    clearTypeahead();
    int key = 0;
    while (key == 0 || key == kNotAHandKey || key == K_ESC) {
      showTimeOfDay();
      key = INKEY(1);
      if (const auto end = levelEndOf(key)) return *end;
    }
  }
  return Outcome::ranOut;
}

// Space: freezes the level with nRemain seconds left until any key.
void pause(int nLevel, int nPerLevel, long nRemain, double& nStart, GameJournal& journal) {
  journal.paused(nLevel, nRemain);
  waitPaused();
  clearTypeahead();
  drawLevel(nLevel, Mode::minutes, Hints::clock);
  nStart = MYSECONDS(false) + static_cast<double>(nRemain) - 60.0 * nPerLevel;
}

Outcome runMinutes(int nLevel, int nPerLevel, double& nStart, GameJournal& journal,
                   bool pauseAtOnce) {
  auto levelEnd = [&] { return nStart + 60.0 * nPerLevel; };
  while (MYSECONDS(false) < levelEnd()) {
    const double left = levelEnd() - MYSECONDS(false);
    long nRemain = static_cast<long>(ROUND(left, 0));
    SAYBIG(15, timeLeftText(nRemain));
    int key = K_SPACE;  // a game resumed paused comes back as Space left it
    if (!std::exchange(pauseAtOnce, false)) {
      journal.running(nLevel, left);
      // A second, or what is left of the level when that is less, so that
      // the level ends on time rather than up to a second late.
      key = INKEY(std::clamp(left, 0.01, 1.0));
    }
    showTimeOfDay();
    if (key == K_SPACE) pause(nLevel, nPerLevel, nRemain, nStart, journal);
    // The countdown goes on while the quit question stands.
    if (const auto end = levelEndOf(key)) return *end;
  }
  return Outcome::ranOut;
}

// The skip tones, and the level a skip lands on: the one before or after,
// or the same one again, with the low tone, where there is none.
int skipTo(int nLevel, Outcome outcome) {
  if (outcome == Outcome::skippedBack) {
    TONE(1000, 2);
    if (nLevel > kFirstLevel) return nLevel - 1;
  } else {
    TONE(2000, 3);
    if (nLevel < kLastLevel) return nLevel + 1;
  }
  TONE(600, 1);
  return nLevel;
}

}  // namespace

bool quitConfirmed() {
  hideTimeOfDay();
  return ALERT(kQuitQuestion, {"No", "Yes"}) == 2;
}

void quitGame(GameJournal& journal) {
  journal.finished();
  _QUIT();
}

void showHintRow(Hints hints, Mode mode) {
  if (hints == Hints::display)
    say(23, 1, kDisplayHint);
  else if (mode == Mode::hands)
    say(23, 59, kHandsHint);
  else
    say(23, 1, kMinutesHints);
}

void drawLevel(int nLevel, Mode mode, Hints hints) {
  SCROLL(3, 0);
  SETPOS(3, 0);
  showCaption(nLevel);
  SAYBIG(6, levelLabel(nLevel));
  if (mode == Mode::hands) {
    SETCOLOR(kPromptColors);
    say(13, 1, kHandHeading);
    SETCOLOR(kSetupColors);
  } else {
    say(13, 1, kTimeHeading);
  }
  showNextLevelOf(nLevel);
  showHintRow(hints, mode);
  showBand();
}

void showPausedBand(Hints hints) {
  if (hints == Hints::clock) {
    SCROLL(23, 43, 23, 79);
    SETPOS(23, 43);
  }
  SETCOLOR(kPromptColors);
  SAYBIG(10, "  PAUSED");
  if (hints == Hints::clock) say(23, 56, "Press any key to resume");
  SETCOLOR(kSetupColors);
  showBand();
}

void playChime() {
  TONE(1000, 2);
  TONE(2000, 3);
  TONE(1600, 4);
}

void waitPaused() {
  showPausedBand(Hints::clock);
  while (INKEY(1) == 0) showTimeOfDay();
}

std::string timeLeftText(long nRemain) {
  std::string prefix = nRemain >= 600 ? "   " : "    ";
  // Three places hold the minutes of any level up to 999; a longer one (a
  // finish time just before now reads as tomorrow) gets all its digits, as
  // the overflow stars of three places have no large glyph.
  const double minutes = INT(nRemain / 60.0);
  return prefix + ALLTRIM(STR(minutes, minutes < 1000 ? 3 : 10, 0)) + ":" +
         RIGHT(STR(static_cast<double>(nRemain % 60) + 100, 3, 0), 2);
}

std::string handCountText(int nHand, int nPerLevel) {
  if (nPerLevel < 10) return " HAND: " + STR(nHand, 1, 0) + "/" + STR(nPerLevel, 1, 0);
  return "HAND:" + STR(nHand, 2, 0) + "/" + STR(nPerLevel, 2, 0);
}

void runTimer(int nLevel, int nPerLevel, Mode mode) {
  GameJournal none;
  runTimer(nLevel, nPerLevel, mode, none);
}

void runTimer(int nLevel, int nPerLevel, Mode mode, GameJournal& journal, const TimerResume* from) {
  // However the timer is left, rows 21 to 24 are no longer its band.
  const BandScope band;
  SETCURSOR(0);
  const double nReset = MYSECONDS(true);
  std::optional<double> nNextStart;  // where the level that ran out ended
  bool pauseAtOnce = from && from->paused;
  int firstHand = from ? from->handsCounted + 1 : 1;
  if (from) nNextStart = nReset + from->secondsLeft - 60.0 * nPerLevel;
  while (nLevel <= kLastLevel) {
    // A level the table does not have raises here: the error log's line.
    krx::markCallerLine(krx::CallSite::here());
    drawLevel(nLevel, mode, Hints::clock);
    double nStart = nNextStart.value_or(MYSECONDS(false));
    nNextStart.reset();
    Outcome outcome;
    if (mode == Mode::hands) {
      outcome = runHands(nLevel, nPerLevel, journal, std::exchange(firstHand, 1));
    } else {
      outcome = runMinutes(nLevel, nPerLevel, nStart, journal, std::exchange(pauseAtOnce, false));
      // The next level starts where this one ended by the clock: the chime
      // and the last pass come out of it, so levels do not drift from the
      // schedule one after another. A skip starts the next level afresh, and
      // so does a level held well past its end (a quit question left open),
      // which must not shorten the next one.
      const double nEnd = nStart + 60.0 * nPerLevel;
      if (outcome == Outcome::ranOut && MYSECONDS(false) - nEnd < kCarryOver) nNextStart = nEnd;
    }
    if (outcome == Outcome::quit) quitGame(journal);
    if (outcome != Outcome::ranOut) nLevel = skipTo(nLevel, outcome);
    clearTypeahead();
    if (outcome == Outcome::ranOut) {
      playChime();
      ++nLevel;
    }
  }
  journal.finished();
}

}  // namespace potclock
