// A program in a pseudo-terminal, as the end-to-end tests run one, with its
// output cut into redraws: a redraw ends when the output pauses for kQuiet.
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "harness/vterm_pty.h"

namespace bench {

// The terminal's size: the program's own 80x25 unless a run says otherwise.
struct TermSize {
  int rows = 25;
  int cols = 80;
};
inline constexpr TermSize kScreenSize{};
// Output that pauses this long has finished a redraw.
inline constexpr double kQuiet = 0.020;

// Steady clock, seconds.
double now();

// A state directory for the measured runs, removed when the bench ends: a
// measured run keeps its game like a real one, but never over the game kept
// for --resume.
const std::string& benchStateHome();

using Snapshot = std::vector<e2e::Emulator::Cell>;

class TimedProgram : public e2e::VtermPty {
 public:
  // Same surroundings for every program: a UTF-8 locale and an xterm.
  explicit TimedProgram(const std::vector<std::string>& argv, TermSize size = kScreenSize);

  // Called with the time of its last byte whenever a redraw has finished.
  std::function<void(double)> onFrame;

  // Reads and emulates output until `until` (steady seconds), until `done()`
  // holds after a read, or until the terminal closes. True when `done` held.
  bool pumpUntil(double until, const std::function<bool()>& done = {});
  bool waitFor(const std::function<bool()>& done, double timeout) {
    return pumpUntil(now() + timeout, done);
  }
  bool waitForText(std::string_view text, double timeout) {
    return waitFor([&] { return screenText().find(text) != std::string::npos; }, timeout);
  }
  void pumpFor(double seconds) { pumpUntil(now() + seconds); }

  // Every cell of the screen, row by row.
  Snapshot snapshot() const;

  // Ends the program (SIGTERM, then SIGKILL after a while), reading what it
  // still writes; returns its resource usage over its whole life.
  rusage end();

 private:
  bool frameOpen_ = false;
};

}  // namespace bench
