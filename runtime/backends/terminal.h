// The terminal backend: the runtime on a real text terminal.
//
// Three layers, each usable on its own and each in its own file:
//   TermCaps      (termcaps.h)   what the terminal understands, read from its
//                                terminfo entry (terminfoentry.h);
//   ScreenPainter (painter.h)    turns the 80x25 screen model into the fewest
//                                bytes that bring the terminal up to date;
//   KeyDecoder    (keydecoder.h) turns the bytes that keys send into INKEY
//                                codes; time is passed in, so the Escape delay
//                                is exact and testable.
// The signal handlers and what they share live in termsignals.h.
// TerminalBackend ties them to the file descriptors, the terminal modes, the
// signals and the sound.
//
// Of the terminal library (ncurses) only the expansion of parameterised
// strings is used: the entry is read from the database by the runtime itself
// (the library's reader leaves its stack buffers' and its name table's pages
// with the process), and the library's own screen updating and key reading
// are not used. Writing the bytes ourselves keeps the output independent of the
// locale (the block characters always go out as UTF-8, also with LANG unset),
// lets one colour change carry foreground and background together, and keeps
// every write in one flush per wait. Reading keys ourselves keeps all waiting
// on our own clock: the library's key time-out follows the wall clock.
//
// Lifetime. TerminalBackend::create() checks that there is a terminal and
// enters its modes; the destructor undoes every one of them. Every signal
// that would end the process restores the terminal first (termsignals.h):
// the crash signals from their handler, and then they are raised again.
//
// The signals that only end the process (SIGINT, SIGTERM, SIGHUP and the
// like) record themselves. The next wait (readKey) throws QuitSignal, so
// that the start routine unwinds the normal way:
//
//     int status = 0;
//     {
//       krx::Runtime rt(std::move(backend));
//       krx::RuntimeScope scope(rt);
//       try { ...MAIN()... } catch (const krx::QuitSignal&) {}
//       ...exit procedures (each guarded: a wait there throws QuitSignal
//          again while a terminating signal is pending)...
//       status = krx::ERRORLEVEL();
//     }  // the backend's destructor has restored the terminal here
//     krx::TerminalBackend::reraisePendingSignal();  // dies by the signal
//     return status;
//
// A second terminating signal before the program has ended forces the end:
// the terminal is restored from the handler and the signal is raised again.
//
// A terminal that stops reading (a stalled connection, Ctrl-S on a console)
// never holds the program. Output goes through a non-blocking description of
// the terminal of our own; the part of a frame that the terminal does not
// take waits, and the wait for a key also waits for the terminal to take
// it, against the same deadline. Until it has gone no new frame is made:
// the painter counts that frame as shown, and once its rest has gone it is.
// So keys are served and the clock keeps time meanwhile, a signal ends the
// program within a second, and when the terminal reads again it gets the
// rest of that frame and then what has changed since. Leaving waits a
// moment for the terminal and then gives up on what it has not taken.
//
// On a Linux console the screen's blanking is off while the program runs
// (consolewake.h).
//
// Ctrl-Z suspends with the terminal restored; on resume the modes are entered
// again and the whole screen is drawn afresh. A window resize centres the
// screen, or shows a notice while the window is smaller than 80x25; keys
// that arrive while the notice is up are dropped.
//
// Alt-Enter is the size key, as a window's is, and the runtime keeps it: it
// switches between the screen centred and the screen filled out to the
// terminal (painter.h), and the program never receives it.
//
// Keys. A lone Escape counts as the Escape key 20 ms after it arrived when
// nothing follows. Backspace is the terminal's erase character; the other of
// ^H and DEL is Ctrl-Backspace. Ctrl-C and Ctrl-Z keep their terminal
// meanings (end, suspend), so they never arrive as codes 3 and 26; PgDn and
// Ctrl-Left still do. Typed characters outside ASCII arrive as their code
// page byte, and are dropped when the code page has none.
//
// Standard error, while the screen is up and standard error is the terminal,
// goes to a memory file and is written out after the terminal is restored
// (also after a crash), so that messages neither garble the screen nor get
// lost behind the alternate screen.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/backends/consolewake.h"
#include "runtime/backends/keydecoder.h"
#include "runtime/backends/painter.h"
#include "runtime/backends/sound.h"
#include "runtime/backends/startup.h"
#include "runtime/backends/termcaps.h"
#include "runtime/console/backend.h"
#include "runtime/console/fdio.h"
#include "runtime/console/screen.h"

namespace krx {

// --- The backend ------------------------------------------------------------------

class TerminalBackend : public Backend {
 public:
  // The backend on standard input's terminal, with its modes entered; or,
  // when standard input is not a terminal or TERM names no known terminal,
  // nullptr after a one-line message on standard error (the caller ends
  // with exit code 1).
  static std::unique_ptr<TerminalBackend> create(const TerminalOptions& options = {});
  ~TerminalBackend() override;
  TerminalBackend(const TerminalBackend&) = delete;
  TerminalBackend& operator=(const TerminalBackend&) = delete;

  double monotonic() override;
  LocalTime localTime() override;
  void present(const Screen& screen) override;
  int readKey(const Screen& screen, double deadline) override;
  void tone(double hz, double seconds) override;
  void bell() override;
  void setMouse(bool on) override;
  void errorOutput(std::string_view text) override;
  void discardTypeahead() override;
  KeyEvent lastKeyEvent(int inkey) override;
  // A descriptor that is not open is refused with a runtime error.
  void wakeOnInput(int fd) override;

  // The screen filled out to the terminal (Alt-Enter switches it).
  bool filled() const { return painter_.filled(); }

  // Puts the terminal back as it was found, using only async-signal-safe
  // calls; does nothing when no backend has the terminal. For crash paths.
  static void restoreFromSignal() noexcept;
  // After the backend is destroyed: ends the process by the pending signal
  // under its default action, so the parent sees the conventional status.
  // Returns when none is pending.
  static void reraisePendingSignal() noexcept;

 private:
  TerminalBackend(int inFd, int outFd, TermCaps caps, ConsoleWake wake);
  void enterModes();
  void leaveModes();
  void serviceSignals();
  void suspend();
  void updateSize();
  int nextKey();
  void waitForInput(int timeoutMs);
  void refuseWakeFd();
  bool flushOut();
  std::string leaveString() const;

  int inFd_;
  int outFd_;
  UniqueFd ownOutput_;  // outFd_, when it is a description of our own
  TermCaps caps_;
  ScreenPainter painter_;
  KeyDecoder decoder_;
  TonePlayer sound_;
  bool modesEntered_ = false;
  bool mouse_ = false;
  ConsoleWake wake_;
  std::string pendingOut_;  // mode changes that go out with the next flush
  std::string unwritten_;   // what the terminal has not taken yet
  const Screen* lastScreen_ = nullptr;
  std::pair<int, int> click_{-1, -1};
  int zeroReads_ = 0;
  bool quiet_ = false;
  int wakeFd_ = -1;
  bool woken_ = false;  // wakeFd_ had input in the last wait
};

}  // namespace krx
