// What the runtime needs of the world outside: a clock, keys, a way to show
// the screen, sound. The terminal backend talks to a real terminal; the
// headless one runs on a script and a virtual clock, for tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/console/screen.h"

namespace krx {

struct LocalTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0;
  double second = 0;  // with fractions
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Seconds on a clock that the system cannot step and that keeps counting
  // through a suspend. Every wait is measured on it.
  virtual double monotonic() = 0;
  // The wall clock, local time: only for showing the time and date.
  virtual LocalTime localTime() = 0;
  // The wall clock as seconds since 1970-01-01 00:00 UTC, with fractions:
  // for times that must outlive the process (a saved game's level end).
  virtual double epochSeconds();

  // Shows the screen model. Called whenever the program is about to wait.
  virtual void present(const Screen& screen) = 0;
  // Waits for a key until `deadline` on the monotonic clock (no limit when
  // negative) and returns its code, or 0 when the deadline passes first.
  virtual int readKey(const Screen& screen, double deadline) = 0;
  // What the key that the last readKey returned as `inkey` was, for the
  // event queue: INKEY codes are ambiguous (5 is Up and Ctrl-E), so only the
  // backend can tell which physical key it was. For a left click (INKEY
  // K_LBUTTONDOWN) it also gives the screen cell. The default takes each code
  // in its usual meaning (eventOfInkey) and knows no cell.
  struct KeyEvent {
    int code = 0;  // event code (runtime/console/eventcodes.h)
    int row = -1, col = -1;
  };
  virtual KeyEvent lastKeyEvent(int inkey);
  // A descriptor (-1: none) whose input ends a wait for a key at once, as if
  // its deadline had come, so that a program can follow something besides
  // the keyboard without waking to look. The program reads the descriptor
  // itself; until it does, every wait ends at once.
  virtual void wakeOnInput(int fd) { (void)fd; }
  // Drops the keys that have arrived but were not read yet (type-ahead), so
  // that a key stuffed with _KEYBOARD is the next one read.
  virtual void discardTypeahead() {}
  // Sounds a tone and returns when it has been heard, so that successive
  // tones follow one another.
  virtual void tone(double hz, double seconds) = 0;
  // The bell character's sound.
  virtual void bell() = 0;
  // Mouse reports on or off.
  virtual void setMouse(bool on) { (void)on; }
  // Text for the standard error stream.
  virtual void errorOutput(std::string_view text) = 0;

  // The kind of application the front end runs: 2, text mode, is all a
  // terminal can be; a windowed front end would answer 3.
  virtual int appType() const { return 2; }

  // A backend may stand in for the user at an alert: ALERT asks it first and
  // puts up its own box, read with keys, only when it returns nullopt. The
  // answer is 0 for none, else the option's number from 1. A scripted run
  // answers the error handler's questions so without steering the box key
  // by key; the terminal leaves every alert to the keys.
  virtual std::optional<int> answerAlert(std::string_view text,
                                         const std::vector<std::string>& options) {
    (void)text, (void)options;
    return std::nullopt;
  }
  // How an alert left to the keys was answered.
  virtual void alertAnswered(int answer) { (void)answer; }
};

}  // namespace krx
