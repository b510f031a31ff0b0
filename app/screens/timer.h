// The running timer: a game's entries one after another, by minutes or by
// hands, with the chime, skips, pause and the quit question; and the pieces
// of its screen, which a display of the game draws too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/game/game.h"
#include "app/game/mode.h"

namespace potclock {

class Inbox;
class StateWriter;

// The colour texts in force while the timer runs, quotes included.
inline constexpr std::string_view kSetupColors = "\"G+/B,W+/Y,R+/W+,,W+/BG\"";
inline constexpr std::string_view kPromptColors = "\"GR+/G,W+/GB,W/B,,B/W\"";
// A warning on the timer's screen: the last minute's countdown, a break
// coming.
inline constexpr std::string_view kWarningColors = "\"GR+/B,W+/Y,R+/W+,,W+/BG\"";

// Runs `game` from entry `first` (from the point `within` it, when given),
// each entry ending by its time or its last hand, or by + and -, the game
// kept by `writer` as it runs, told what a director says by `inbox` (when
// given). A planned start in `within` is counted down to first. Returns
// when the game ends after its last entry; "Yes" to the quit question ends
// the program (_QUIT).
void runGame(const Game& game, StateWriter& writer, int first, const Within* within = nullptr,
             Inbox* inbox = nullptr);
// The same from a saved point, with the count saved (a game with a
// [tournament] table).
void runGame(const Game& game, StateWriter& writer, const ResumePoint& from,
             Inbox* inbox = nullptr);

// The built-in levels from nLevel up to the last, each nPerLevel minutes or
// hands long as `mode` says, kept by `writer` (by nothing when not given).
void runTimer(int nLevel, int nPerLevel, Mode mode);
void runTimer(int nLevel, int nPerLevel, Mode mode, StateWriter& writer,
              const Within* within = nullptr, Inbox* inbox = nullptr);

// How an entry ends: its time or its last hand ran out, "+" or "-" skipped
// it, a director's command began another, or "Yes" to the quit question
// ends the game.
enum class Outcome { ranOut, skippedForward, skippedBack, jumped, quit };

// The clock's own keys beside Escape (the quit question) and Space (the
// pause): "+" and "-" skip; code 1 (Ctrl-A) never counts a hand, the wait
// for one goes on as after a time-out.
inline constexpr int kSkipForwardKey = '+';
inline constexpr int kSkipBackKey = '-';
inline constexpr int kNotAHandKey = 1;

// "Quit PotClock?" with the time of day blanked: whether "Yes" was the answer.
bool quitConfirmed();

// The screen's pieces, shared by the clock and a display of its game
// (potclock --watch), so that the two read alike. Only the hint row differs:
// the clock's tells its keys, a display's that it is one and how to leave.
enum class Hints { clock, display };
// Entry `index`'s screen from row 3 down (and the structure's name at the
// top): caption or break note, large blinds or BREAK, heading of the time
// left or of the hands, next level, hint row, and the tournament's numbers
// with `count` when the game has them. The large count below the heading is
// the caller's.
void drawEntry(const Game& game, int index, Hints hints,
               const std::optional<Count>& count = std::nullopt);
void showHintRow(Hints hints, Mode mode);
// The same before a planned start: the heading says the game starts in the
// time below it.
void drawStart(const Game& game, int index, Hints hints,
               const std::optional<Count>& count = std::nullopt);
// The band "PAUSED" across the large text (and, on the clock, its hint).
void showPausedBand(Hints hints);
// The three notes of a level running out.
void playChime();

// How long the countdown's figure for `left` seconds stands: until the time
// left, rounded to the second, next changes, or until the entry ends. The
// clock and every display wait for that moment, so that all of them change
// the figure together.
double untilNextFigure(double left);

// The large countdown of entry `index` at `remain` seconds, in the warning's
// colour in a last minute warned of.
void showTimeLeft(const Game& game, int index, long remain);
// The short tone of a last minute begun.
void playMinuteWarning();

// The remaining time as the large display shows it (three or four blanks,
// minutes, ":", two-digit seconds).
std::string timeLeftText(long nRemain);
// The hand count as the large display shows it: " HAND: 3/8", "HAND: 3/12",
// and beyond 99 hands a level the whole count, which fits the screen.
std::string handText(int hand, int hands);

}  // namespace potclock
