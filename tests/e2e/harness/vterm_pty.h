// Runs a program in a pseudo-terminal and reads its screen through the
// emulator, so that tests see what a user would see: the characters of each
// cell, their colours, the cursor, which screen is up.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "harness/emulator.h"

namespace e2e {

struct Launch {
  std::vector<std::string> argv;  // argv[0] is the program's path
  int rows = 25;
  int cols = 80;
  // Environment changes: "NAME=value" sets, "NAME" alone removes. TERM is
  // xterm-256color unless set here; the locale variables are removed.
  std::vector<std::string> env;
};

// The emulator's screen is the program's: everything it draws is read there.
class VtermPty : public Emulator {
 public:
  explicit VtermPty(const Launch& launch);
  ~VtermPty();  // kills the program if it still runs
  VtermPty(const VtermPty&) = delete;
  VtermPty& operator=(const VtermPty&) = delete;

  // Reads the program's output for up to `seconds` (or until it closes the
  // terminal) and feeds it to the emulator.
  void pump(double seconds);
  // Reads what the program has written, waiting up to `timeoutMs` for it;
  // false when nothing came.
  bool readOnce(int timeoutMs);
  // Pumps until `text` shows anywhere on the screen; false on time-out.
  bool waitForText(std::string_view text, double timeoutSeconds);
  // Pumps until `done()` holds; false on time-out.
  bool waitUntil(const std::function<bool()>& done, double timeoutSeconds);
  // Pumps until the program is asleep (waiting, stopped or ended) with no
  // output left on the way, so that a screen seen in part (its top rows
  // drawn, the rest still in the pipe) is seen whole; false on time-out.
  bool settle(double timeoutSeconds);

  void sendKeys(std::string_view bytes);
  // Sets the terminal's size; the program gets SIGWINCH.
  void resize(int rows, int cols);
  void kill(int sig);
  // Waits for the program to end, reading the rest of its output; returns
  // its wait status, or -1 when it has not ended within the time-out.
  int waitExit(double timeoutSeconds);

  // What the bytes sent (output()) leave undone of what a real terminal
  // needs back: every private mode changed at its default (the cursor
  // shown, the alternate screen left, keypad and mouse reporting off), the
  // colours and attributes reset, and the alternate screen blank when it
  // was left (a terminal resized meanwhile, as tmux is, may carry rows of it
  // over to the primary screen). Empty when nothing is left undone.
  std::string leftUndone() const;
  // After the program: primary screen, cursor visible, default attributes,
  // both as the emulator shows them and as the bytes sent leave a terminal.
  bool restored() const {
    return !altScreen() && cursorVisible() && penIsDefault() && leftUndone().empty();
  }

  std::uint64_t bytesRead() const { return bytesRead_; }
  // When the program was started, and when its last output arrived
  // (steady clock, seconds).
  double startedAt() const { return startedAt_; }
  double lastOutputAt() const { return lastOutputAt_; }
  // Every process has let go of the terminal.
  bool closed() const { return closed_; }
  // Every byte the program has sent, as a real terminal would get them: an
  // emulator forgives some omissions (leaving its alternate screen shows
  // its cursor again) that a real terminal does not.
  const std::string& output() const { return output_; }
  pid_t pid() const { return pid_; }
  // What the program used over its life, once it has ended.
  const rusage& usage() const { return usage_; }

  // The terminal's modes (the pseudo-terminal's termios), as the program
  // has set or left them.
  termios terminalModes() const;
  // The terminal takes no more output: its buffer has stayed full for a
  // tenth of a second (the harness reads only in pump, waitUntil and
  // waitExit; a stalled terminal is made by not calling them).
  bool outputBlocked() const;
  // Waits for the program to end without reading its output; its wait
  // status, or -1 when it has not ended within the time-out.
  int waitExitUnread(double timeoutSeconds);

 private:
  bool programAsleep() const;
  // Takes the program's status if it has ended.
  bool reaped();

  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  bool closed_ = false;
  rusage usage_{};
  double startedAt_ = 0;
  double lastOutputAt_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::string output_;
};

}  // namespace e2e
