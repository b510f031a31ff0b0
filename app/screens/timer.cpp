#include "app/screens/timer.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "app/disk/channel.h"
#include "app/disk/statewriter.h"
#include "app/game/command.h"
#include "app/game/standing.h"
#include "app/screens/clock.h"
#include "app/screens/notice.h"
#include "app/screens/numbersrow.h"
#include "app/screens/say.h"
#include "app/screens/timertexts.h"
#include "app/screens/tvband.h"
#include "bigtext/bigletters.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using namespace krx;

namespace {

constexpr std::string_view kBreakHeading =
    "T I M E    R E M A I N I N G   I N   T H I S    B R E A K";

// Drops the keys typed but not read yet, so that those pressed at a pause,
// a question or the skip tones are not taken for commands afterwards. The
// one place that decides it: after a hand's count is shown, after a pause,
// after "No" to the quit question, and after the tones of an entry's end.
void clearTypeahead() {
  _KEYBOARD("");
}

void showCaption(const Game& game, int index) {
  if (game.isBreak(index)) {
    // The note is the organiser's UTF-8; the screen holds code page 437,
    // which has every character the structure file lets through.
    say(4, 1, utf8ToCp437(game.note(index)));
    return;
  }
  std::string caption = std::string(kCaption) + game.designation(index) + ")";
  if (const long ante = game.ante(index); ante > 0) caption += "   Ante: " + chipsText(ante);
  say(4, 1, caption);
}

constexpr std::string_view kStartHeading =
    "        T H E   G A M E   S T A R T S   I N                ";

class Timer {
 public:
  // A game with a [tournament] table counts from `count`, or afresh.
  Timer(const Game& game, StateWriter& writer, Inbox* inbox,
        std::optional<Count> count = std::nullopt)
      : game_(game), writer_(writer), inbox_(inbox) {
    if (const auto& rules = game.structure().numbers) {
      count_ = count.value_or(startingCount(*rules));
      writer_.count(*count_);
    }
  }

  void run(int index, const Within* within) {
    // However the timer is left, rows 21 to 24 are no longer its band.
    const BandScope band;
    SETCURSOR(0);
    const double reset = MYSECONDS(true);
    // Where the next entry starts by the timer's clock (the entry that ran
    // out ended there), when known; else when it is drawn. (A flag beside
    // it, not a value set apart: the clock reads from 0 at midnight, and a
    // resumed entry began before then.)
    double nextStart = 0;
    bool nextKnown = false;
    bool pauseAtOnce = within && within->paused;
    int firstHand = within ? within->handsCounted + 1 : 1;
    if (within) {
      corrected_ = within->corrected;
      nextStart = reset + within->secondsLeft - lengthOf(index);
      nextKnown = true;
    }
    if (within && within->startsAt > 0) {
      const Begun begun = waitForStart(index, within->startsAt);
      index = begun.index;
      nextKnown = begun.at.has_value();
      nextStart = begun.at.value_or(0);
    }
    while (index < game_.size()) {
      // An entry the game does not have raises here: the error log's line.
      krx::markCallerLine(krx::CallSite::here());
      writer_.correction(corrected_);
      drawEntry(game_, index, Hints::clock, count_);
      const double start = std::exchange(nextKnown, false) ? nextStart : MYSECONDS(false);
      Outcome outcome;
      if (game_.mode(index) == Mode::hands) {
        outcome = runHands(index, std::exchange(firstHand, 1));
      } else {
        end_ = start + lengthOf(index);
        outcome = runMinutes(index, std::exchange(pauseAtOnce, false));
        // The next entry starts where this one ended by the clock: the
        // chime and the last pass come out of it, so entries do not drift
        // from the schedule one after another. A skip starts the next
        // afresh, and so does an entry held well past its end (a quit
        // question left open), which must not shorten the next one.
        if (outcome == Outcome::ranOut && MYSECONDS(false) - end_ < kCarryOver) {
          nextStart = end_;
          nextKnown = true;
        }
      }
      if (outcome == Outcome::quit) {
        writer_.finished();
        _QUIT();
      }
      index = following(index, outcome);
      // What the director added belonged to the entry that is over.
      corrected_ = 0;
      warned_ = false;
    }
    writer_.finished();
  }

 private:
  // The entry's length as the director has made it.
  double lengthOf(int index) const {
    return game_.lengthSeconds(index) + static_cast<double>(corrected_);
  }

  // The notice of a game that is not kept, should the last record have
  // failed.
  void told() const { showKeepingNotice(writer_.notice()); }

  // A key, or 0 when `seconds` pass first or a command comes in.
  int waitKey(double seconds) const {
    const WakeOnInput wake(inbox_ ? inbox_->descriptor() : -1);
    return INKEY(seconds);
  }

  // What `command` changes of the game standing at `s`, for a command told
  // and a key alike: a change of the count is kept and shown at once, and
  // `s` is left as the change leaves the game (but for a jump, which the
  // caller begins).
  Result<Change, std::string> apply(Standing& s, const Command& command) {
    s.count = count_;
    auto change = applyCommand(game_, s, command);
    if (change.ok() && !change.value().jumped) {
      s = change.value().standing;
      if (s.count && s.count != count_) recount(s.index, *s.count);
    }
    return change;
  }

  // Applies the commands waiting to the game standing at `s`: the outcome
  // when one begins another entry, else `s` as they leave it.
  std::optional<Outcome> serve(Standing& s) {
    if (!inbox_) return std::nullopt;
    while (auto told = inbox_->next()) {
      const auto command = parseCommand(told->words);
      if (!command.ok()) {
        told->answer(false, command.failure());
        continue;
      }
      const auto change = apply(s, command.value());
      told->answer(change.ok(), change.ok() ? change.value().answer : change.failure());
      if (change.ok() && change.value().jumped) {
        jumpTo_ = change.value().standing.index;
        return Outcome::jumped;
      }
    }
    return std::nullopt;
  }

  // The director's keys at the clock, for a game that keeps the numbers
  // (the hints say so): the commonest commands, without a second terminal.
  std::optional<Command> directorKey(int key) const {
    if (!count_) return std::nullopt;
    switch (key) {
      case 'b':
      case 'B':
        return Command{Command::Kind::bust, 0};
      case 'e':
      case 'E':
        return Command{Command::Kind::entry, 0};
      case 'r':
      case 'R':
        return Command{Command::Kind::rebuy, 0};
      case 'a':
      case 'A':
        return Command{Command::Kind::addon, 0};
      case ']':
        return Command{Command::Kind::timeBy, 60};
      case '[':
        return Command{Command::Kind::timeBy, -60};
      default:
        return std::nullopt;
    }
  }

  // The game at `s` as the key's command leaves it; the low tone when it
  // changes nothing.
  Standing byKey(Standing s, const Command& command) {
    if (!apply(s, command).ok()) TONE(600, 1);
    return s;
  }

  // The director's change of the count while entry `index` runs (`to` is
  // what bust, entry and the other changes answered): kept at once, so
  // that the displays show it too, and shown.
  void recount(int index, const Count& to) {
    if (!count_) return;
    count_ = to;
    writer_.count(to);
    told();
    showNumbers(game_, index, count_);
  }

  // The level a skip or the end of an entry leads to, with their sounds: the
  // next or the one before, or, with the low tone, the same one again where
  // there is none; after the last entry a structure starts it again and the
  // built-in game ends. A director's jump sounds as a skip that way.
  int following(int index, Outcome outcome) const {
    const int last = game_.size() - 1;
    int next = index;
    if (outcome == Outcome::jumped) {
      next = jumpTo_;
      if (next < index) outcome = Outcome::skippedBack;
      if (next > index) outcome = Outcome::skippedForward;
    }
    if (outcome == Outcome::skippedBack) {
      TONE(1000, 2);
      if (index > 0 && next == index) next = index - 1;
    } else if (outcome == Outcome::skippedForward) {
      TONE(2000, 3);
      if (index < last && next == index) next = index + 1;
    }
    if (outcome != Outcome::ranOut && next == index) TONE(600, 1);
    clearTypeahead();
    if (outcome == Outcome::ranOut) {
      playChime();
      if (registrationEnds(game_, index)) playRegistrationEnd();
      if (index < last || !game_.repeatsLast()) return index + 1;
      TONE(600, 1);
    }
    return next;
  }

  // The end that a key asks for: Escape asks whether to quit (keys typed
  // while the question stood are dropped), "+" and "-" skip. `asking`, when
  // given, tells the game's file that the question is open.
  static std::optional<Outcome> endOf(int key, const std::function<void()>& asking = {}) {
    if (key == K_ESC) {
      if (asking) asking();
      if (quitConfirmed()) return Outcome::quit;
      clearTypeahead();
    }
    if (key == kSkipBackKey) return Outcome::skippedBack;
    if (key == kSkipForwardKey) return Outcome::skippedForward;
    return std::nullopt;
  }

  // Where the game begins: its first entry, at the planned moment (the
  // clock's reading), or the entry a director begins it with at once.
  struct Begun {
    int index;
    std::optional<double> at;
  };

  // Counts down to `startsAt` (wall clock) on entry `index`'s screen, then
  // chimes. The file says that the game has not begun, so that a display
  // counts down with it and a resumed game waits as well.
  Begun waitForStart(int index, double startsAt) {
    const double begin = MYSECONDS(false) + (startsAt - EPOCHSECONDS());
    writer_.plannedStart(startsAt);
    drawStart(game_, index, Hints::clock, count_);
    for (;;) {
      const double toGo = begin - MYSECONDS(false);
      if (toGo <= 0) break;
      SAYBIG(15, timeLeftText(static_cast<long>(ROUND(toGo, 0))));
      writer_.running(game_, index, toGo + lengthOf(index));
      told();
      const int key = waitKey(std::clamp(untilNextFigure(toGo), 0.01, 1.0));
      showTimeOfDay();
      if (key == K_ESC) {
        if (quitConfirmed()) {
          writer_.finished();
          _QUIT();
        }
        clearTypeahead();
        drawStart(game_, index, Hints::clock, count_);
      }
      Standing s{index, lengthOf(index), false, 0, 0, false};
      if (key == 0 && serve(s)) {
        writer_.plannedStart(0);
        TONE(2000, 3);
        clearTypeahead();
        return {jumpTo_, std::nullopt};
      }
    }
    writer_.plannedStart(0);
    playChime();
    return {index, begin};
  }

  Outcome runHands(int index, int firstHand) {
    const int hands = game_.length(index);
    for (int hand = firstHand; hand <= hands; ++hand) {
      writer_.hand(game_, index, hand - 1);
      told();
      SAYBIG(15, handText(hand, hands));
      // A key pressed twice by mistake counts one hand.
      INKEY(0.1);
      INKEY(0.1);
      clearTypeahead();
      int key = 0;
      while (key == 0 || key == kNotAHandKey || key == K_ESC) {
        showTimeOfDay();
        key = waitKey(1);
        Standing s{index, 0, false, 0, hand - 1, true};
        if (key == 0) {
          if (const auto jumped = serve(s)) return *jumped;
        }
        if (const auto end = endOf(key)) return *end;
      }
    }
    return Outcome::ranOut;
  }

  // Space, or a director's pause: freezes the entry with `remain` seconds
  // left until any key or the director's resume, which do nothing else;
  // the entry then ends `remain` seconds (as the director may have changed
  // them) after.
  std::optional<Outcome> pause(int index, long remain) {
    writer_.paused(game_, index, remain);
    told();
    showPausedBand(Hints::clock);
    for (;;) {
      const int key = waitKey(1);
      showTimeOfDay();
      if (key != 0) break;
      Standing s{index, static_cast<double>(remain), true, corrected_, 0, true};
      if (const auto jumped = serve(s)) return jumped;
      if (!s.paused) break;
      if (s.corrected != corrected_ || static_cast<long>(s.left) != remain) {
        corrected_ = s.corrected;
        remain = static_cast<long>(s.left);
        writer_.correction(corrected_);
        writer_.paused(game_, index, remain);
        told();
        showTimeLeft(game_, index, remain);
        showPausedBand(Hints::clock);
      }
    }
    clearTypeahead();
    drawEntry(game_, index, Hints::clock, count_);
    end_ = MYSECONDS(false) + static_cast<double>(remain);
    return std::nullopt;
  }

  Outcome runMinutes(int index, bool pauseAtOnce) {
    for (;;) {
      const double left = end_ - MYSECONDS(false);
      if (left <= 0) return Outcome::ranOut;
      long remain = static_cast<long>(ROUND(left, 0));
      showTimeLeft(game_, index, remain);
      // Once as the last minute begins; again should the director give the
      // level more time and it come again.
      const bool lastMinute = game_.lastMinute(index, remain);
      if (lastMinute && !warned_) playMinuteWarning();
      warned_ = lastMinute;
      int key = K_SPACE;  // a game resumed paused comes back as Space left it
      if (!std::exchange(pauseAtOnce, false)) {
        writer_.running(game_, index, left);
        told();
        // Until the figure changes or the entry ends, so that it ends on
        // time rather than up to a second late.
        key = waitKey(std::clamp(untilNextFigure(left), 0.01, 1.0));
      }
      showTimeOfDay();
      const std::optional<Command> keyed = directorKey(key);
      if (key == 0 || keyed) {
        Standing s{index, end_ - MYSECONDS(false), false, corrected_, 0, true};
        if (keyed) {
          s = byKey(s, *keyed);
          key = 0;
        }
        if (const auto jumped = serve(s)) return *jumped;
        end_ = MYSECONDS(false) + s.left;
        if (s.corrected != corrected_) {
          corrected_ = s.corrected;
          writer_.correction(corrected_);
        }
        if (s.paused) {
          key = K_SPACE;
          remain = static_cast<long>(ROUND(s.left, 0));
        }
      }
      if (key == K_SPACE) {
        if (const auto jumped = pause(index, remain)) return *jumped;
      }
      // The countdown goes on while the quit question stands, and the
      // screen stands still: the displays stand still with it.
      const auto asking = [&] {
        writer_.asking(game_, index, end_ - MYSECONDS(false), remain);
        told();
      };
      if (const auto end = endOf(key, asking)) return *end;
    }
  }

  const Game& game_;
  StateWriter& writer_;
  Inbox* inbox_;
  double end_ = 0;              // the running entry's end, by the timer's clock
  long corrected_ = 0;          // seconds the director added to the running entry
  int jumpTo_ = 0;              // the entry a director's jump begins
  bool warned_ = false;         // the running entry's last minute has been warned of
  std::optional<Count> count_;  // a game with a [tournament] table
};

}  // namespace

void runGame(const Game& game, StateWriter& writer, int first, const Within* within, Inbox* inbox) {
  Timer(game, writer, inbox).run(first, within);
}

void runGame(const Game& game, StateWriter& writer, const ResumePoint& from, Inbox* inbox) {
  Timer(game, writer, inbox, from.count).run(from.index, &from.within);
}

void runTimer(int nLevel, int nPerLevel, Mode mode) {
  StateWriter none;
  runTimer(nLevel, nPerLevel, mode, none);
}

void runTimer(int nLevel, int nPerLevel, Mode mode, StateWriter& writer, const Within* within,
              Inbox* inbox) {
  runGame(Game::builtIn(nPerLevel, mode), writer, nLevel - 1, within, inbox);
}

bool quitConfirmed() {
  hideTimeOfDay();
  return ALERT(kQuitQuestion, {"No", "Yes"}) == 2;
}

void showHintRow(Hints hints, Mode mode) {
  if (hints == Hints::display)
    say(23, 1, kDisplayHint);
  else if (mode == Mode::hands)
    say(23, 59, kHandsHint);
  else
    say(23, 1, kMinutesHints);
}

void drawEntry(const Game& game, int index, Hints hints, const std::optional<Count>& count) {
  SCROLL(3, 0);
  SETPOS(3, 0);
  if (!game.name().empty()) sayCentred(1, utf8ToCp437(game.name()));
  showCaption(game, index);
  SAYBIG(6, game.label(index));
  const Mode mode = game.mode(index);
  if (mode == Mode::hands) {
    SETCOLOR(kPromptColors);
    say(13, 1, kHandHeading);
    SETCOLOR(kSetupColors);
  } else {
    say(13, 1, game.isBreak(index) ? kBreakHeading : kTimeHeading);
  }
  showNumbers(game, index, count);
  if (mode == Mode::hands) showRegistration(game, index, std::nullopt);
  NextLevel next = game.next(index);
  if (game.warnings().breakAhead && index + 1 < game.size() && game.isBreak(index + 1)) {
    next.text += " after this level";
    SETCOLOR(kWarningColors);
    showNextLevel(next);
    SETCOLOR(kSetupColors);
  } else {
    showNextLevel(next);
  }
  if (hints == Hints::clock && mode == Mode::minutes && game.structure().numbers)
    say(23, 1, kDirectorHints);
  else
    showHintRow(hints, mode);
  showBand();
}

void drawStart(const Game& game, int index, Hints hints, const std::optional<Count>& count) {
  drawEntry(game, index, hints, count);
  say(13, 1, kStartHeading);
  // Only Escape means anything until the game begins.
  if (hints == Hints::clock) {
    SCROLL(23, 0, 23, 79);
    showHintRow(hints, Mode::hands);
  }
}

void showTimeLeft(const Game& game, int index, long remain) {
  showRegistration(game, index, remain);
  if (!game.lastMinute(index, remain)) {
    SAYBIG(15, timeLeftText(remain));
    return;
  }
  SETCOLOR(kWarningColors);
  SAYBIG(15, timeLeftText(remain));
  SETCOLOR(kSetupColors);
}

void playMinuteWarning() {
  TONE(2000, 1);
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

double untilNextFigure(double left) {
  const double shown = ROUND(left, 0);
  if (shown < 1) return std::max(left, 0.0);
  // A moment past the half, so that the figure read then is the next one.
  return left - (shown - 0.5) + 0.001;
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

std::string handText(int hand, int hands) {
  if (hands < 10) return " HAND: " + STR(hand, 1, 0) + "/" + STR(hands, 1, 0);
  if (hands < 100) return "HAND:" + STR(hand, 2, 0) + "/" + STR(hands, 2, 0);
  return "  " + STR(hand, 3, 0) + "/" + STR(hands, 3, 0);
}

}  // namespace potclock
