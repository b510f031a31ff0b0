#include "runtime/backends/termsignals.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "runtime/backends/clock.h"
#include "runtime/backends/terminal.h"
#include "runtime/console/fdio.h"

namespace krx {

namespace termsignals {

SignalShared shared;

}  // namespace termsignals

using termsignals::shared;

namespace {

// A crash handler must still run when the stack has overflowed.
alignas(16) char altStack[64 * 1024];
// What standard error's memory file refused. Not in `shared`, whose fields
// are set at start: zero at start, its pages stay the system's until text
// is refused, which it seldom is.
char refusedStderr[2048];

// By default these end the process without a core dump: asked to end.
constexpr int kQuitSignals[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGUSR1, SIGUSR2, SIGALRM,
                                SIGPIPE, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
// By default these dump core: a fault, or a resource limit reached.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS,  SIGFPE, SIGABRT, SIGILL,
                                 SIGQUIT, SIGTRAP, SIGSYS, SIGXCPU};

void wake() {
  if (shared.wakeWrite >= 0) {
    const char byte = 0;
    const ssize_t ignored = ::write(shared.wakeWrite, &byte, 1);
    (void)ignored;
  }
}

void onQuitSignal(int sig) {
  const int savedErrno = errno;
  if (shared.quitAsked != 0) {
    // Asked twice: the program has not reached a wait since, so end it here.
    TerminalBackend::restoreFromSignal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
  } else {
    shared.quitAsked = 1;
    // A hangup seen on the terminal first keeps its place as the reason.
    if (shared.quit == 0) shared.quit = sig;
    wake();
  }
  errno = savedErrno;
}

void onFlagSignal(int sig) {
  const int savedErrno = errno;
  if (sig == SIGWINCH) shared.winch = 1;
  if (sig == SIGTSTP) shared.tstp = 1;
  if (sig == SIGCONT) shared.cont = 1;
  wake();
  errno = savedErrno;
}

// Puts back what `sig` had before us. Async-signal-safe.
void putBack(int sig) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  const struct sigaction* found = &dfl;
  for (termsignals::SignalShared::Previous& p : shared.previous) {
    if (p.sig == sig) {
      found = &p.action;
      p.sig = 0;
    }
  }
  ::sigaction(sig, found, nullptr);
  shared.installed[sig] = false;
}

void onCrashSignal(int sig) {
  const int savedErrno = errno;
  TerminalBackend::restoreFromSignal();
  // Under the disposition found at start (the default, or a sanitizer's),
  // the signal is delivered again when this handler returns.
  putBack(sig);
  ::raise(sig);
  errno = savedErrno;
}

// Every signal taken whatever its disposition (the crash signals, SIGWINCH,
// SIGCONT and SIGTSTP) has a slot to keep that disposition in.
static_assert(std::size(kCrashSignals) + 3 <=
              std::size(decltype(termsignals::SignalShared::previous){}));

enum class Take { unlessIgnored, onlyDefault, always };

void install(int sig, void (*handler)(int), int flags, Take take) {
  struct sigaction old {};
  if (::sigaction(sig, nullptr, &old) != 0) return;
  const bool isDefault = (old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_DFL;
  const bool isIgnored = (old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_IGN;
  // A signal ignored from the start (nohup, a background job) stays ignored.
  if (take == Take::unlessIgnored && isIgnored) return;
  if (take == Take::onlyDefault && !isDefault) return;
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigfillset(&action.sa_mask);
  if (take == Take::onlyDefault) {
    if (::sigaction(sig, &action, nullptr) == 0) shared.installed[sig] = true;
    return;
  }
  for (termsignals::SignalShared::Previous& p : shared.previous) {
    if (p.sig != 0) continue;
    if (::sigaction(sig, &action, &p.action) == 0) {
      p.sig = sig;
      shared.installed[sig] = true;
    }
    return;
  }
}

void uninstallAll() {
  for (int sig = 1; sig < NSIG; ++sig)
    if (shared.installed[sig]) putBack(sig);
}

// exit() from deep code skips destructors; the terminal comes back anyway.
void restoreAtExit() {
  TerminalBackend::restoreFromSignal();
}

std::string programName() {
  const char* name = program_invocation_short_name;
  return name != nullptr && *name != '\0' ? name : "program";
}

}  // namespace

namespace termsignals {

bool writeBefore(int fd, const char* data, std::size_t length, double deadline) {
  for (;;) {
    const std::size_t done = writeAll(fd, data, length);
    data += done;
    length -= done;
    if (length == 0) return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const double left = deadline - bootClock();
    if (left <= 0) return false;
    pollfd out{fd, POLLOUT, 0};
    const int ms = static_cast<int>(left * 1000.0) + 1;
    if (::poll(&out, 1, ms) < 0 && errno != EINTR) return false;
  }
}

void restoreTerminal(double waitSeconds) {
  const int fd = shared.outFd;
  // On a description shared with the shell (no description of our own could
  // be had), the flags may already be back to blocking when a signal comes.
  if (fd >= 0 && shared.outFlags >= 0) ::fcntl(fd, F_SETFL, shared.outFlags | O_NONBLOCK);
  if (fd >= 0 && !writeBefore(fd, shared.reset, shared.resetLength, bootClock() + waitSeconds)) {
    // The terminal is not reading. What it has not taken was drawing on a
    // screen that is being left; without it there is room for the reset,
    // which the terminal finds when it reads again.
    ::tcflush(fd, TCOFLUSH);
    writeBefore(fd, shared.reset, shared.resetLength, 0);
  }
  if (fd >= 0 && shared.outFlags >= 0) ::fcntl(fd, F_SETFL, shared.outFlags);
  // At once: waiting for the output to drain could be waiting for ever.
  ::tcsetattr(shared.inFd, TCSANOW, &shared.saved);
}

void replayStderr(double waitSeconds) {
  // A signal that ends the program while a replay waits on the terminal
  // gives the shell its blocking standard error back.
  if (shared.stderrFlags >= 0) {
    ::fcntl(STDERR_FILENO, F_SETFL, shared.stderrFlags);
    shared.stderrFlags = -1;
  }
  // Taken before anything is undone, so that a handler coming in between
  // finds nothing left to do rather than descriptors already closed.
  const int saved = shared.stderrSaved;
  const int capture = shared.stderrCapture;
  if (saved < 0) return;
  shared.stderrSaved = -1;
  shared.stderrCapture = -1;
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  if (capture < 0) return;
  // Standard error is the terminal, which may not be reading: its
  // description (shared with the shell) is non-blocking just for this.
  const int flags = ::fcntl(STDERR_FILENO, F_GETFL);
  if (flags >= 0) {
    shared.stderrFlags = flags;
    ::fcntl(STDERR_FILENO, F_SETFL, flags | O_NONBLOCK);
  }
  const double deadline = bootClock() + waitSeconds;
  char buffer[4096];
  ::lseek(capture, 0, SEEK_SET);
  for (;;) {
    const ssize_t n = readRetrying(capture, buffer, sizeof buffer);
    if (n <= 0) break;
    if (!writeBefore(STDERR_FILENO, buffer, static_cast<std::size_t>(n), deadline)) break;
  }
  const auto refused = static_cast<std::size_t>(shared.stderrRefusedLength);
  shared.stderrRefusedLength = 0;
  if (refused > 0) writeBefore(STDERR_FILENO, refusedStderr, refused, deadline);
  if (flags >= 0) {
    ::fcntl(STDERR_FILENO, F_SETFL, flags);
    shared.stderrFlags = -1;
  }
  ::close(capture);
}

bool keepRefusedStderr(const char* text, std::size_t length) {
  if (shared.stderrCapture < 0) return false;
  auto kept = static_cast<std::size_t>(shared.stderrRefusedLength);
  const std::size_t room = sizeof refusedStderr - kept;
  const std::size_t taken = length < room ? length : room;
  std::memcpy(refusedStderr + kept, text, taken);
  shared.stderrRefusedLength = static_cast<sig_atomic_t>(kept + taken);
  return true;
}

void startStderrCapture() {
  if (shared.stderrSaved >= 0 || !::isatty(STDERR_FILENO)) return;
  const int capture = ::memfd_create("stderr", MFD_CLOEXEC);
  if (capture < 0) return;
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0 || ::dup2(capture, STDERR_FILENO) < 0) {
    if (saved >= 0) ::close(saved);
    ::close(capture);
    return;
  }
  shared.stderrSaved = saved;
  shared.stderrCapture = capture;
}

void failStart(const std::string& why) {
  const std::string line = programName() + ": " + why + "\n";
  writeAll(STDERR_FILENO, line.data(), line.size());
}

void arm() {
  int wakePipe[2];
  if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) == 0) {
    shared.wakeRead = wakePipe[0];
    shared.wakeWrite = wakePipe[1];
  }

  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    stack_t ours{};
    ours.ss_sp = altStack;
    ours.ss_size = sizeof altStack;
    if (::sigaltstack(&ours, &shared.previousAltStack) == 0) shared.altStackInstalled = true;
  }
  for (const int sig : kQuitSignals) install(sig, onQuitSignal, SA_RESTART, Take::onlyDefault);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
    install(sig, onQuitSignal, SA_RESTART, Take::onlyDefault);
  }
  install(SIGWINCH, onFlagSignal, SA_RESTART, Take::always);
  install(SIGCONT, onFlagSignal, SA_RESTART, Take::always);
  install(SIGTSTP, onFlagSignal, SA_RESTART, Take::unlessIgnored);
  for (const int sig : kCrashSignals) install(sig, onCrashSignal, SA_ONSTACK, Take::unlessIgnored);
  static const bool atExitRegistered = std::atexit(restoreAtExit) == 0;
  (void)atExitRegistered;
}

void disarm() {
  uninstallAll();
  if (shared.altStackInstalled) {
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(shared.previousAltStack.ss_sp != nullptr ? &shared.previousAltStack : &off,
                  nullptr);
    shared.altStackInstalled = false;
  }
  for (int* fd : {&shared.wakeRead, &shared.wakeWrite}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

}  // namespace termsignals

void TerminalBackend::restoreFromSignal() noexcept {
  if (shared.active != 0) {
    shared.active = 0;
    termsignals::restoreTerminal(0);
  }
  termsignals::replayStderr(0);
}

void TerminalBackend::reraisePendingSignal() noexcept {
  const int sig = shared.quit;
  if (sig == 0) return;
  shared.quit = 0;
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
}

}  // namespace krx
