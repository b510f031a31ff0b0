#include "app/tournamenttimer.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/clock.h"
#include "app/gamejournal.h"
#include "app/gamestate.h"
#include "app/say.h"
#include "app/setup.h"
#include "app/structurefile.h"
#include "app/timertexts.h"
#include "app/tvband.h"
#include "bigtext/bigletters.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using namespace krx;

namespace {

constexpr std::string_view kBreakLabel = "  BREAK";
constexpr std::string_view kBreakHeading =
    "T I M E    R E M A I N I N G   I N   T H I S    B R E A K";
constexpr std::string_view kLastEntry = "-----";

// The name and the notes are the organiser's UTF-8; the screen holds code
// page 437, which has every character the structure file lets through.
void sayText(int row, int col, std::string_view utf8) {
  say(row, col, utf8ToCp437(utf8));
}

// The next entry as row 22 names it, and as the TV band shows it.
NextLevel nextLevelOf(const Tournament& t, std::size_t index) {
  if (index + 1 >= t.entries.size()) return {std::string(kLastEntry), std::string(kLastEntry), ""};
  const Entry& e = t.entries[index + 1];
  if (e.isBreak) {
    const std::string text =
        "break of " + std::to_string(e.length) + (e.length == 1 ? " minute" : " minutes");
    return {text, "BREAK", text};
  }
  const std::string blinds = ALLTRIM(blindsLabel(e.small, e.big));
  if (e.ante == 0) return {blinds, blinds, ""};
  const std::string ante = "Ante: " + chipsText(e.ante);
  return {blinds + "  " + ante, blinds, ante};
}

class TournamentTimer {
 public:
  TournamentTimer(const Tournament& t, GameJournal& journal) : t_(t), journal_(journal) {}

  void run(const TournamentResume* from) {
    SETCURSOR(0);
    MYSECONDS(true);
    std::size_t index = from ? from->entry : 0;
    std::optional<TimerResume> within;
    if (from) within = from->within;
    std::optional<double> nextStart;  // where the entry that ran out ended
    if (within && !within->paused && mode(index) == Mode::minutes)
      nextStart = MYSECONDS(false) + within->secondsLeft - lengthSeconds(index);
    for (;;) {
      const Entry& e = t_.entries[index];
      journal_.structureEntry(e.length, mode(index));
      drawEntry(index);
      double start = nextStart.value_or(MYSECONDS(false));
      nextStart.reset();
      Outcome outcome;
      if (mode(index) == Mode::hands) {
        outcome = runHands(index, within ? within->handsCounted + 1 : 1);
      } else {
        outcome = runCountdown(index, start, within && within->paused);
        // The next entry starts where this one ended by the clock, so the
        // schedule does not drift; a skip, or an entry held well past its
        // end by an open question, starts the next afresh.
        const double end = start + lengthSeconds(index);
        if (outcome == Outcome::ranOut && MYSECONDS(false) - end < kCarryOver) nextStart = end;
      }
      if (outcome == Outcome::quit) quitGame(journal_);
      within.reset();
      index = next(index, outcome);
    }
  }

 private:
  Mode mode(std::size_t index) const { return entryMode(t_, index); }
  double lengthSeconds(std::size_t index) const { return 60.0 * t_.entries[index].length; }
  std::size_t last() const { return t_.entries.size() - 1; }

  // The sounds of the built-in timer: the chime when an entry runs out, the
  // skip tones, and the low tone where there is nowhere further to go, in
  // which case the entry starts again.
  std::size_t next(std::size_t index, Outcome outcome) const {
    switch (outcome) {
      case Outcome::ranOut:
        playChime();
        if (index < last()) return index + 1;
        break;
      case Outcome::skippedForward:
        TONE(2000, 3);
        if (index < last()) return index + 1;
        break;
      case Outcome::skippedBack:
        TONE(1000, 2);
        if (index > 0) return index - 1;
        break;
      case Outcome::quit:  // the game has ended before this
        return index;
    }
    TONE(600, 1);
    return index;
  }

  void drawEntry(std::size_t index) const { drawTournamentEntry(t_, index, Hints::clock); }

  // Freezes the entry with `remain` seconds left until any key, which does
  // nothing else; returns the clock reading at which the entry would have
  // had to start for `remain` to be left now.
  double pause(std::size_t index, long remain) const {
    journal_.paused(static_cast<int>(index) + 1, remain);
    waitPaused();
    drawEntry(index);
    return MYSECONDS(false) + static_cast<double>(remain) - lengthSeconds(index);
  }

  Outcome runCountdown(std::size_t index, double& start, bool pauseAtOnce) const {
    for (;;) {
      const double end = start + lengthSeconds(index);
      const double left = end - MYSECONDS(false);
      if (left <= 0) return Outcome::ranOut;
      const long remain = static_cast<long>(ROUND(left, 0));
      SAYBIG(15, timeLeftText(remain));
      int key = 0;
      if (std::exchange(pauseAtOnce, false)) {
        key = K_SPACE;
      } else {
        journal_.running(static_cast<int>(index) + 1, left);
        // A second, or what is left when that is less, so the entry ends on
        // time rather than up to a second late.
        key = INKEY(std::clamp(left, 0.01, 1.0));
      }
      showTimeOfDay();
      if (key == K_SPACE) start = pause(index, remain);
      if (key == K_ESC && quitConfirmed()) return Outcome::quit;
      if (key == kSkipForwardKey) return Outcome::skippedForward;
      if (key == kSkipBackKey) return Outcome::skippedBack;
    }
  }

  Outcome runHands(std::size_t index, int firstHand) const {
    const int hands = t_.entries[index].length;
    for (int hand = firstHand; hand <= hands; ++hand) {
      journal_.hand(static_cast<int>(index) + 1, hand - 1);
      SAYBIG(15, tournamentHandText(hand, hands));
      // A key pressed twice by mistake counts one hand, as with the
      // built-in levels.
      INKEY(0.1);
      INKEY(0.1);
      int key = 0;
      while (key == 0 || key == kNotAHandKey || key == K_ESC) {
        showTimeOfDay();
        key = INKEY(1);
        if (key == K_ESC && quitConfirmed()) return Outcome::quit;
      }
      if (key == kSkipForwardKey) return Outcome::skippedForward;
      if (key == kSkipBackKey) return Outcome::skippedBack;
    }
    return Outcome::ranOut;
  }

  const Tournament& t_;
  GameJournal& journal_;
};

}  // namespace

void drawTournamentEntry(const Tournament& t, std::size_t index, Hints hints) {
  const Entry& e = t.entries[index];
  SCROLL(3, 0);
  SETPOS(3, 0);
  if (!t.name.empty()) sayCentred(1, utf8ToCp437(t.name));
  if (e.isBreak) {
    sayText(4, 1, e.note);
    SAYBIG(6, kBreakLabel);
  } else {
    const int number = levelNumber(t, index);
    std::string caption = std::string(kCaption) + STR(number, number < 100 ? 2 : 3, 0) + ")";
    if (e.ante > 0) caption += "   Ante: " + chipsText(e.ante);
    say(4, 1, caption);
    SAYBIG(6, blindsLabel(e.small, e.big));
  }
  showNextLevel(nextLevelOf(t, index));
  const Mode mode = entryMode(t, index);
  if (mode == Mode::hands) {
    SETCOLOR(kPromptColors);
    say(13, 1, kHandHeading);
    SETCOLOR(kSetupColors);
  } else {
    say(13, 1, e.isBreak ? kBreakHeading : kTimeHeading);
  }
  showHintRow(hints, mode);
  showBand();
}

std::string tournamentHandText(int nHand, int hands) {
  if (hands < 100) return handCountText(nHand, hands);
  return "  " + STR(nHand, 3, 0) + "/" + STR(hands, 3, 0);
}

void runTournament(const Tournament& t, GameJournal& journal, const TournamentResume* from) {
  if (t.entries.empty()) return;
  // However the timer is left, rows 21 to 24 are no longer its band.
  const BandScope band;
  TournamentTimer(t, journal).run(from);
}

void playTournament(const Tournament& t, const std::filesystem::path& file) {
  blankScreen();
  GameJournal journal(file.empty() ? std::nullopt : std::optional(stateLocationOf(file)),
                      GameJournal::Writing::inBackground, file.filename().string());
  journal.keepStructure(formatStructure(t, "the structure of a running game"));
  showKeepingNotice(journal.notice());
  if (!t.hands || t.entries.front().isBreak) {
    if (!t.name.empty()) sayCentred(4, utf8ToCp437(t.name));
    startPrompt(journal.notice());
  }
  runTournament(t, journal);
}

}  // namespace potclock
