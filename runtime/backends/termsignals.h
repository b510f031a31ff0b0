// The signals while a terminal backend has the terminal.
//
// Every signal whose default action would end the process finds the
// terminal put back first; SIGKILL and SIGSTOP cannot be caught and are left
// to the kernel, and a signal ignored at start stays ignored (a terminal that
// closes still ends the program, SIGHUP ignored or not: there is nothing
// left to show on). Which way a
// signal ends the program follows its default action:
//
// - Those that dump core (SIGSEGV, SIGBUS, SIGFPE, SIGABRT, SIGILL, SIGQUIT,
//   SIGTRAP, SIGSYS, SIGXCPU) report a fault of the program or a
//   resource it has run out of: carrying on to the next wait could fault
//   again or never come. They restore the terminal with async-signal-safe
//   calls and are raised again at once under the previous disposition, so
//   that a crash is still reported as one (by a sanitizer's handler, when it
//   had one, or as a core dump).
// - Those that only end the process (SIGINT, SIGTERM, SIGHUP, SIGUSR1,
//   SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT
//   and the real-time signals) ask the program to end: they record themselves
//   and wake the wait; the backend's next wait throws QuitSignal, the exit
//   procedures run, and the signal is raised again at the very end. A second
//   one before the program has ended forces the end from the handler. They
//   are taken only while their disposition is the default: a handler that a
//   library installed before us (a profiler's SIGPROF) means the signal does
//   not end this process.
//
// SIGWINCH, SIGTSTP and SIGCONT are recorded for the backend to act on.
//
// No handler ever waits: the terminal is written without blocking (the
// backend's own description of it is non-blocking), and when it does not
// take the reset bytes, what it has not taken is discarded to make room.
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
  int outFd = -1;     // non-blocking
  int outFlags = -1;  // flags to put back on outFd, when we had to change them
  termios saved{};
  char reset[512] = {};
  std::size_t resetLength = 0;
  int stderrSaved = -1;    // the real standard error while it is captured
  int stderrCapture = -1;  // the memory file standing in for it
  int stderrFlags = -1;    // its flags while a replay has made it non-blocking
  // How much of what the memory file refused (a file-size limit counts
  // against it too) is kept, to be written after what it holds.
  volatile sig_atomic_t stderrRefusedLength = 0;
  int wakeRead = -1;
  int wakeWrite = -1;
  volatile sig_atomic_t quit = 0;
  volatile sig_atomic_t quitAsked = 0;  // a terminating signal has arrived
  volatile sig_atomic_t winch = 0;
  volatile sig_atomic_t tstp = 0;
  volatile sig_atomic_t cont = 0;
  // The dispositions found at start, of the signals taken from whatever had
  // them; one taken only while at its default goes back to the default.
  // Not one slot per signal: each slot is written when the handlers go in,
  // and a page of them is a page of private memory for the program's life.
  struct Previous {
    int sig = 0;
    struct sigaction action {};
  };
  Previous previous[16] = {};
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

// Writes the reset bytes and puts back the terminal's modes, waiting at most
// `waitSeconds` for the terminal to take the bytes; when it has not, what it
// has not taken is discarded and the bytes are offered once more. Never
// blocks beyond the wait. Async-signal-safe.
void restoreTerminal(double waitSeconds);

// Standard error goes to a memory file while the screen is up; replaying
// puts it back and writes out what it collected, waiting at most
// `waitSeconds` for a terminal that does not read. Async-signal-safe.
void startStderrCapture();
void replayStderr(double waitSeconds);
// Keeps `text`, which the memory file would not take, to be replayed after
// it; false when standard error is not being collected.
bool keepRefusedStderr(const char* text, std::size_t length);

// Writes `length` bytes to `fd` (non-blocking), waiting for room until
// `deadline` (bootClock() seconds, which is async-signal-safe); true when
// all of them went.
// Async-signal-safe.
bool writeBefore(int fd, const char* data, std::size_t length, double deadline);
// A one-line reason on standard error why the terminal cannot be used.
void failStart(const std::string& why);

}  // namespace krx::termsignals
