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

constexpr int kEscape = 27;
constexpr int kSpace = 32;
const int kPlus = ASC("+");
const int kMinus = ASC("-");
constexpr int kMarker = 1;  // put into the buffer by the timer itself

// Puts a key into the buffer and reads it straight back, so that LASTKEY()
// holds it instead of a key already dealt with.
void markKey(std::string_view key, double wait) {
  _KEYBOARD(key);
  INKEY(wait);
}

void showCaption(int nLevel) {
  say(4, 1, std::string(kCaption) + levelDesignation(nLevel) + ")");
}

void showNextLevelOf(int nLevel) {
  const std::string label(levelLabel(nLevel + 1));
  showNextLevel(NextLevel{label, ALLTRIM(label), ""});
}

// "Quit PotClock?": "Yes" ends the program; "No" returns.
void askQuit(GameJournal& journal) {
  hideTimeOfDay();
  if (ALERT(kQuitQuestion, {"No", "Yes"}) == 2) {
    journal.finished();
    _QUIT();
  }
}

// Sounds the skip tones and moves nLevel so that the loop's step lands on
// the previous ("-") or the same-or-next ("+") level.
void skipBack(int& nLevel) {
  nLevel -= 2;
  TONE(1000, 2);
  if (nLevel < 0) {
    TONE(600, 1);
    nLevel = 0;
  }
}

void skipForward(int& nLevel) {
  TONE(2000, 3);
  if (nLevel > 62) {
    TONE(600, 1);
    nLevel = 62;
  }
}

void runHands(int& nLevel, int nMinutes, bool& lSkipped, GameJournal& journal, int firstHand) {
  for (int nHand = firstHand; nHand <= nMinutes; ++nHand) {
    journal.hand(nLevel, nHand - 1);
    SAYBIG(15, handCountText(nHand, nMinutes));
    INKEY(0.1);
    INKEY(0.1);
    markKey("\x01", 0.1);
    while (LASTKEY() == kMarker) {
      showTimeOfDay();
      if (INKEY(1) == kEscape) {
        askQuit(journal);
        markKey("\x01", 0.1);
      }
    }
    if (LASTKEY() == kMinus) {
      lSkipped = true;
      skipBack(nLevel);
      nHand = nMinutes;
    }
    if (LASTKEY() == kPlus) {
      skipForward(nLevel);
      lSkipped = true;
      nHand = nMinutes;
    }
  }
}

// Space: freezes the level with nRemain seconds left until any key.
void pause(int nLevel, int nMinutes, long nRemain, double& nStart, GameJournal& journal) {
  journal.paused(nLevel, nRemain);
  waitPaused();
  markKey("x", 0);
  drawLevel(nLevel, false, Hints::clock);
  nStart = MYSECONDS(false) + static_cast<double>(nRemain) - 60.0 * nMinutes;
}

void runMinutes(int& nLevel, int nMinutes, double& nStart, bool& lSkipped, GameJournal& journal,
                bool pauseAtOnce) {
  auto levelEnd = [&] { return nStart + 60.0 * nMinutes; };
  while (MYSECONDS(false) < levelEnd() && LASTKEY() != kEscape && LASTKEY() != kMinus &&
         LASTKEY() != kPlus) {
    const double left = levelEnd() - MYSECONDS(false);
    long nRemain = static_cast<long>(ROUND(left, 0));
    SAYBIG(15, timeLeftText(nRemain));
    // A second, or what is left of the level when that is less, so that the
    // level ends on time rather than up to a second late.
    if (!pauseAtOnce) {
      journal.running(nLevel, left);
      INKEY(std::clamp(left, 0.01, 1.0));
    }
    showTimeOfDay();
    if (std::exchange(pauseAtOnce, false) || LASTKEY() == kSpace)
      pause(nLevel, nMinutes, nRemain, nStart, journal);
    if (LASTKEY() == kEscape) {
      askQuit(journal);
      markKey("x", 0.1);
    }
  }
  if (LASTKEY() == kMinus) {
    lSkipped = true;
    markKey("\x01", 0.1);
    skipBack(nLevel);
  } else if (LASTKEY() == kPlus) {
    skipForward(nLevel);
    lSkipped = true;
    markKey("\x01", 0.1);
  }
}

}  // namespace

void showHintRow(Hints hints, bool hands) {
  if (hints == Hints::display)
    say(23, 1, kDisplayHint);
  else if (hands)
    say(23, 59, kHandsHint);
  else
    say(23, 1, kMinutesHints);
}

void drawLevel(int nLevel, bool hands, Hints hints) {
  SCROLL(3, 0);
  SETPOS(3, 0);
  showCaption(nLevel);
  SAYBIG(6, levelLabel(nLevel));
  if (hands) {
    SETCOLOR(kPromptColors);
    say(13, 1, kHandHeading);
    SETCOLOR(kSetupColors);
  } else {
    say(13, 1, kTimeHeading);
  }
  showNextLevelOf(nLevel);
  showHintRow(hints, hands);
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

std::string handCountText(int nHand, int nMinutes) {
  if (nMinutes < 10) return " HAND: " + STR(nHand, 1, 0) + "/" + STR(nMinutes, 1, 0);
  return "HAND:" + STR(nHand, 2, 0) + "/" + STR(nMinutes, 2, 0);
}

void runTimer(int nLevel, int nMinutes, const std::string& cMode) {
  GameJournal none;
  runTimer(nLevel, nMinutes, cMode, none);
}

void runTimer(int nLevel, int nMinutes, const std::string& cMode, GameJournal& journal,
              const TimerResume* from) {
  bool lSkipped = false;
  // However the timer is left, rows 21 to 24 are no longer its band.
  const BandScope band;
  SETCURSOR(0);
  const double nReset = MYSECONDS(true);
  std::optional<double> nNextStart;  // where the level that ran out ended
  bool pauseAtOnce = from && from->paused;
  int firstHand = from ? from->handsCounted + 1 : 1;
  if (from) nNextStart = nReset + from->secondsLeft - 60.0 * nMinutes;
  for (; nLevel <= kLastLevel; ++nLevel) {
    // A level the table does not have raises here: the error log's line.
    krx::markCallerLine(krx::CallSite::here());
    drawLevel(nLevel, cMode == "H", Hints::clock);
    double nStart = nNextStart.value_or(MYSECONDS(false));
    nNextStart.reset();
    if (cMode == "H") {
      runHands(nLevel, nMinutes, lSkipped, journal, std::exchange(firstHand, 1));
    } else {
      runMinutes(nLevel, nMinutes, nStart, lSkipped, journal, std::exchange(pauseAtOnce, false));
      // The next level starts where this one ended by the clock: the chime
      // and the last pass come out of it, so levels do not drift from the
      // schedule one after another. A skip starts the next level afresh, and
      // so does a level held well past its end (a quit question left open),
      // which must not shorten the next one.
      const double nEnd = nStart + 60.0 * nMinutes;
      if (!lSkipped && MYSECONDS(false) - nEnd < kCarryOver) nNextStart = nEnd;
    }

    markKey("\x01", 0.1);
    if (!lSkipped) playChime();
    lSkipped = false;
  }
  journal.finished();
}

}  // namespace potclock
