// What the end-to-end tests of potclock share for reading its screen and
// answering it: every wait here is on something the screen shows.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "harness/vterm_pty.h"

namespace e2e {

// Generous: the sanitizer build on a busy machine is slow to start.
inline constexpr double kWait = 5.0;

// The timer's caption up to the level number, and the next level's heading,
// as the players read them.
inline const std::string kCaption = "S M A L L   B L I N D  /  B I G   B L I N D   (Level: ";
inline const std::string kNextLevel = "N E X T   L E V E L   =  ";

// The program's 80x25 screen sits at (top, left) of the terminal: the
// origin in a terminal of 80x25, centred in a larger one.
struct Origin {
  int top = 0;
  int left = 0;
};

// `count` cells of a terminal row from `col`, as UTF-8.
std::string cells(const VtermPty& term, int row, int col, int count);
// A whole row of the program's screen.
std::string screenRow(const VtermPty& term, int row, Origin at = {});

// What an edit field shows, without the blanks around it: a number being
// typed stands at the left of its field, one taken at the right.
std::string fieldText(const VtermPty& term, int row, int col, int width, Origin at = {});

// Reads output until the program waits with all of it shown, so that a
// screen seen in part (its top rows drawn, the rest still in the pipe) is
// seen whole.
void settle(VtermPty& term);

// Waits for `text` anywhere on the screen, then for the screen to settle.
::testing::AssertionResult shows(VtermPty& term, std::string_view text, double timeout = kWait);

// Rows `top` to `top` + 5 of the program's screen read as `rows`.
bool showsBig(const VtermPty& term, int top, const std::array<std::string, 6>& rows,
              Origin at = {});
// Waits until rows `top` to `top` + 5 read `phrase` in large characters, as
// the glyphs' pictures draw it.
::testing::AssertionResult waitBig(VtermPty& term, int top, std::string_view phrase,
                                   double timeout = kWait, Origin at = {});

// A time of day (HH:MM:SS) at the right of row 22.
bool showsTimeOfDay(const VtermPty& term, Origin at = {});

// Sends a key to the timer once it is waiting for one. Before the wait for
// a hand the program drops the keys typed ahead, so the key must not go
// before the wait has begun. Inside the timer's waits, and only there, the
// time of day is written once a second: a time that differs from the one
// shown when this was called proves it.
void keyInHandWait(VtermPty& term, std::string_view key, Origin at = {});

// "m" at the mode question, then the three manual answers. Numeric fields
// take a new number and Enter; the mode letter completes the read. The read
// takes keys in the order typed and drops none, so each goes as soon as the
// one before has shown.
void answerManual(VtermPty& term, const std::string& level, const std::string& perLevel, char mode,
                  Origin at = {});

// Escape at the timer, "y" to the quit question: the program ends with
// status 0 and the terminal as it was.
void quitWithYes(VtermPty& term, Origin at = {});

// Reads the large countdown at rows 15 to 20 as a number of seconds between
// `low` and `high`; nothing when it shows none of them.
class CountdownReader {
 public:
  CountdownReader(int low, int high);
  // From the rows at and below `fromRow` alone when the rows above it are
  // covered (by the band of the pause).
  std::optional<int> read(const VtermPty& term, int fromRow = 15) const;
  // Waits until the countdown shows a value other than `from`.
  std::optional<int> waitChange(VtermPty& term, std::optional<int> from,
                                double timeout = kWait) const;

  // A value read the moment it replaced the one before, and when (wall
  // clock, seconds): it was drawn after `notBefore`, the last look that
  // still saw the old value, and by `seenAt`.
  struct Change {
    int value = 0;
    double notBefore = 0;
    double seenAt = 0;
  };
  std::optional<Change> timedChange(VtermPty& term, double timeout = kWait) const;

 private:
  int low_;
  std::vector<std::array<std::string, 6>> texts_;
};

// The machine has a sound device: the chime goes there instead of ringing
// the terminal's bell, and the tests cannot count it.
bool haveSoundDevice();

// The wall clock in seconds since the epoch, as the program's saved game
// gives the end of a level.
double wallNow();

}  // namespace e2e
