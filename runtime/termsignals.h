// The signals while a terminal backend has the terminal.
//
// The crash signals (SIGSEGV, SIGBUS, SIGFPE, SIGABRT, SIGILL, SIGQUIT)
// restore the terminal with async-signal-safe calls and are then raised
// again under the previous disposition, so that a crash is still reported as
// one. SIGINT, SIGTERM and SIGHUP only record themselves and wake the wait;
// the backend's next wait throws QuitSignal. A second terminating signal
// before the program has ended forces the end from the handler. SIGWINCH,
// SIGTSTP and SIGCONT are recorded for the backend to act on.
#pragma once

#include <signal.h>
#include <termios.h>

#include <cstddef>
#include <string>

namespace krx::termsignals {

// What the signal handlers need, at file scope because a handler has no
// other way to reach it: the descriptors, the saved terminal modes and the
// reset bytes, prepared beforehand so that restoring needs no allocation.
struct SignalShared {
  volatile sig_atomic_t active = 0;  // the terminal's modes are ours
  int inFd = -1;
  int outFd = -1;
  termios saved{};
  char reset[512] = {};
  std::size_t resetLength = 0;
  int stderrSaved = -1;    // the real standard error while it is captured
  int stderrCapture = -1;  // the memory file standing in for it
  int wakeRead = -1;
  int wakeWrite = -1;
  volatile sig_atomic_t quit = 0;
  volatile sig_atomic_t quitAsked = 0;  // a terminating signal has arrived
  volatile sig_atomic_t winch = 0;
  volatile sig_atomic_t tstp = 0;
  volatile sig_atomic_t cont = 0;
  struct sigaction previous[NSIG] = {};
  bool installed[NSIG] = {};
  bool altStackInstalled = false;
  stack_t previousAltStack{};
  bool inUse = false;
};

extern SignalShared shared;

// Installs the handlers, the wake-up pipe and an alternate stack for the
// crash handlers; `disarm` puts back what `arm` found.
void arm();
void disarm();

// Standard error goes to a memory file while the screen is up; replaying
// puts it back and writes out what it collected. Async-signal-safe.
void startStderrCapture();
void replayStderr();

void writeAllSafe(int fd, const char* data, std::size_t length);
// A one-line reason on standard error why the terminal cannot be used.
void failStart(const std::string& why);

}  // namespace krx::termsignals
