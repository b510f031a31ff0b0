// The running timer: level after level from nLevel to the last, by minutes
// or by hands, with the chime, skips, pause and the quit question.
#pragma once

#include <string>
#include <string_view>

#include "app/mode.h"

namespace potclock {

class GameJournal;

// The colour texts in force while the timer runs, quotes included.
inline constexpr std::string_view kSetupColors = "\"G+/B,W+/Y,R+/W+,,W+/BG\"";
inline constexpr std::string_view kPromptColors = "\"GR+/G,W+/GB,W/B,,B/W\"";

// Runs the levels from nLevel up to the last, each nPerLevel minutes or
// hands long as `mode` says. Returns after the last level; "Yes" to the quit
// question ends the program (_QUIT).
void runTimer(int nLevel, int nPerLevel, Mode mode);

// Where a resumed game picks up within its first level.
struct TimerResume {
  double secondsLeft = 0;  // minutes mode
  bool paused = false;     // minutes mode: comes back paused
  int handsCounted = 0;    // hands mode
};
// The same, with the game kept in `journal` as it runs; a resumed game
// starts from `from` instead of its first level's beginning.
void runTimer(int nLevel, int nPerLevel, Mode mode, GameJournal& journal,
              const TimerResume* from = nullptr);

// How a level (or a structure's entry) ends: its time or its last hand ran
// out, "+" or "-" skipped it, or "Yes" to the quit question ends the game.
enum class Outcome { ranOut, skippedForward, skippedBack, quit };

// The clock's own keys beside Escape (the quit question) and Space (the
// pause): "+" and "-" skip; code 1 (Ctrl-A) never counts a hand, the wait
// for one goes on as after a time-out.
inline constexpr int kSkipForwardKey = '+';
inline constexpr int kSkipBackKey = '-';
inline constexpr int kNotAHandKey = 1;

// "Quit PotClock?" with the time of day blanked: whether "Yes" was the answer.
bool quitConfirmed();
// "Yes" to it: the game is over and the program ends at once (_QUIT).
[[noreturn]] void quitGame(GameJournal& journal);

// The pause: the band "PAUSED" across the large text and the resume hint,
// the time of day kept going, until any key (which does nothing else).
void waitPaused();

// The screen's pieces, shared by the clock and a display of its game
// (potclock --watch), so that the two read alike. Only the hint row differs:
// the clock's tells its keys, a display's that it is one and how to leave.
enum class Hints { clock, display };
// A built-in level's screen from row 3 down: caption, large blinds, the
// heading of the time left or of the hands, next level, hint row. The large
// count below the heading is the caller's.
void drawLevel(int nLevel, Mode mode, Hints hints);
void showHintRow(Hints hints, Mode mode);
// The band "PAUSED" across the large text (and, on the clock, its hint).
void showPausedBand(Hints hints);
// The three notes of a level running out.
void playChime();

// The remaining time as the large display shows it (three or four blanks,
// minutes, ":", two-digit seconds).
std::string timeLeftText(long nRemain);
// The hand count as the large display shows it.
std::string handCountText(int nHand, int nPerLevel);

}  // namespace potclock
