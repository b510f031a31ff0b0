#include "runtime/backends/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "runtime/backends/clock.h"
#include "runtime/backends/startup.h"
#include "runtime/backends/termsignals.h"
#include "runtime/console/console.h"
#include "runtime/console/eventcodes.h"
#include "runtime/lang/error.h"

namespace krx {

namespace {

constexpr const char* kMouseOn = "\x1b[?1000h\x1b[?1006h";
constexpr const char* kMouseOff = "\x1b[?1006l\x1b[?1000l";

// How long leaving waits for a terminal that does not read.
constexpr double kLeaveWait = 0.4;

// A description of the terminal of our own, for writing without blocking.
// The one inherited is shared with the shell and whatever else writes to
// the terminal, so its flags are not ours to change. -1 when the terminal
// cannot be opened again.
UniqueFd openOwnOutput(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  UniqueFd own(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!own.valid()) {
    char name[256];
    if (::ttyname_r(fd, name, sizeof name) == 0) {
      own.reset(::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    }
  }
  if (own.valid() && !::isatty(own.get())) own.reset();
  return own;
}

}  // namespace

using termsignals::failStart;
using termsignals::replayStderr;
using termsignals::shared;
using termsignals::startStderrCapture;

std::unique_ptr<TerminalBackend> TerminalBackend::create(const TerminalOptions& options) {
  if (!::isatty(STDIN_FILENO)) {
    failStart("standard input is not a terminal");
    return nullptr;
  }
  if (shared.inUse) {
    failStart("the terminal is already in use");
    return nullptr;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') {
    failStart("the terminal type is not known (TERM is not set)");
    return nullptr;
  }
  UniqueFd own;
  if (!::isatty(STDOUT_FILENO)) {
    // Output redirected: the screen still belongs on the terminal.
    own.reset(::open("/dev/tty", O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!own.valid()) {
      failStart("standard output is not a terminal");
      return nullptr;
    }
  } else {
    own = openOwnOutput(STDOUT_FILENO);
  }
  std::optional<TermCaps> found = TermCaps::load(term);
  if (!found) {
    failStart(std::string("unknown terminal type '") + term + "'");
    return nullptr;
  }
  TermCaps caps = std::move(*found);
  const int outFd = own.valid() ? own.get() : STDOUT_FILENO;
  if (caps.cup.empty() || caps.clear.empty()) {
    failStart(std::string("terminal type '") + term + "' cannot place the cursor");
    return nullptr;
  }
  std::unique_ptr<TerminalBackend> backend(
      new TerminalBackend(STDIN_FILENO, outFd, std::move(caps), ConsoleWake::forTerminal(term)));
  backend->ownOutput_ = std::move(own);
  backend->painter_.setFilled(options.filled);
  backend->quiet_ = options.quiet;
  return backend;
}

TerminalBackend::TerminalBackend(int inFd, int outFd, TermCaps caps, ConsoleWake wake)
    : inFd_(inFd),
      outFd_(outFd),
      caps_(caps),
      painter_(caps),
      decoder_(caps.keys),
      sound_([this] { bell(); }),
      wake_(std::move(wake)) {
  shared.inUse = true;
  shared.inFd = inFd;
  shared.outFd = outFd;
  // Without a description of our own, the inherited one is made
  // non-blocking while the modes are ours, and its flags put back after.
  const int flags = ::fcntl(outFd, F_GETFL);
  shared.outFlags = flags >= 0 && (flags & O_NONBLOCK) == 0 ? flags : -1;
  shared.quit = 0;
  shared.quitAsked = 0;
  shared.winch = 0;
  shared.tstp = 0;
  shared.cont = 0;
  ::tcgetattr(inFd, &shared.saved);
  decoder_ = KeyDecoder(caps_.keys, shared.saved.c_cc[VERASE]);

  const std::string reset = leaveString();
  shared.resetLength = std::min(reset.size(), sizeof shared.reset);
  std::memcpy(shared.reset, reset.data(), shared.resetLength);

  termsignals::arm();

  startStderrCapture();
  enterModes();
  updateSize();
}

TerminalBackend::~TerminalBackend() {
  leaveModes();
  replayStderr(kLeaveWait);
  termsignals::disarm();
  shared.outFd = shared.inFd = -1;
  shared.outFlags = -1;
  shared.winch = 0;
  shared.tstp = 0;
  shared.cont = 0;
  shared.inUse = false;
  // shared.quit stays for reraisePendingSignal().
}

std::string TerminalBackend::leaveString() const {
  // The alternate screen is left blank, in the default colours, with the
  // cursor at its top: a terminal resized while it was up (tmux) may carry
  // rows of it over to the primary screen when it is left, and a terminal
  // without one keeps our drawing otherwise.
  std::string s = caps_.sgr0 + caps_.clear + caps_.cnorm + caps_.rmkx;
  if (caps_.mouse) s += kMouseOff;
  s += caps_.rmcup;
  return s + wake_.leave;
}

void TerminalBackend::enterModes() {
  // Ours from the first change on: a signal arriving part-way undoes it.
  shared.active = 1;
  termios raw = shared.saved;
  // Keys one by one as typed, nothing echoed.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
  // Ctrl-V and Ctrl-O are keys here, not line-editing commands.
  raw.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);
  // Ctrl-S and Ctrl-Q are keys (Left is Ctrl-S), not flow control; Enter
  // arrives as CR; all eight bits of each byte.
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | BRKINT);
  // Output goes exactly as written: line feeds move down without a return.
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_cflag |= CS8;
  // ISIG stays: Ctrl-C ends the program and Ctrl-Z suspends it, by signal.
  // A read returns whatever has arrived, never blocks: poll() does the waiting.
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  // At once: waiting for earlier output to drain could be waiting for ever.
  ::tcsetattr(inFd_, TCSANOW, &raw);
  if (shared.outFlags >= 0) ::fcntl(outFd_, F_SETFL, shared.outFlags | O_NONBLOCK);
  pendingOut_ += caps_.smcup + caps_.smkx + wake_.enter;
  if (mouse_ && caps_.mouse) pendingOut_ += kMouseOn;
  modesEntered_ = true;
}

void TerminalBackend::leaveModes() {
  if (!modesEntered_) return;
  modesEntered_ = false;
  pendingOut_.clear();
  // The rest of a frame on a screen being left no longer matters.
  unwritten_.clear();
  // The same bytes as a signal handler's, so that a signal arriving
  // meanwhile restores the terminal all the same.
  termsignals::restoreTerminal(kLeaveWait);
  shared.active = 0;
}

void TerminalBackend::updateSize() {
  winsize ws{};
  int rows = 24;
  int cols = 80;
  if (::ioctl(outFd_, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
    rows = ws.ws_row;
    cols = ws.ws_col;
  } else if (caps_.lines > 0 && caps_.cols > 0) {
    rows = caps_.lines;
    cols = caps_.cols;
  }
  painter_.resize(rows, cols);
}

bool TerminalBackend::flushOut() {
  std::size_t done = writeAll(outFd_, unwritten_.data(), unwritten_.size());
  // Short of all and not for want of room: the terminal has gone, and the
  // hangup ends the program.
  if (done < unwritten_.size() && errno != EAGAIN && errno != EWOULDBLOCK) done = unwritten_.size();
  unwritten_.erase(0, done);
  return unwritten_.empty();
}

double TerminalBackend::monotonic() {
  return bootClock();
}

LocalTime TerminalBackend::localTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1,
                   parts.tm_mday,        parts.tm_hour,
                   parts.tm_min,         parts.tm_sec + static_cast<double>(ts.tv_nsec) / 1e9};
}

void TerminalBackend::present(const Screen& screen) {
  lastScreen_ = &screen;
  if (!modesEntered_) return;
  if (!flushOut()) return;  // the terminal has not taken the last frame yet
  unwritten_ = std::move(pendingOut_);
  pendingOut_.clear();
  unwritten_ += painter_.paint(screen);
  flushOut();
}

void TerminalBackend::serviceSignals() {
  if (shared.quit != 0) throw QuitSignal{};
  if (shared.tstp != 0) {
    shared.tstp = 0;
    suspend();
  }
  if (shared.cont != 0) {
    // Continued after a stop that was not ours (SIGSTOP): whoever had the
    // terminal meanwhile may have changed its modes and contents.
    shared.cont = 0;
    if (modesEntered_) {
      modesEntered_ = false;
      enterModes();
      painter_.invalidate();
    }
  }
  if (shared.winch != 0) {
    shared.winch = 0;
    updateSize();
  }
}

void TerminalBackend::suspend() {
  leaveModes();
  replayStderr(kLeaveWait);
  struct sigaction dfl {};
  struct sigaction ours {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGTSTP, &dfl, &ours);
  ::raise(SIGTSTP);  // stops here until SIGCONT
  ::sigaction(SIGTSTP, &ours, nullptr);
  shared.cont = 0;
  shared.tstp = 0;
  startStderrCapture();
  enterModes();
  updateSize();  // also draws everything afresh
}

int TerminalBackend::nextKey() {
  for (;;) {
    const int key = decoder_.next(monotonic());
    // While the notice asks for a larger window the user cannot see what a
    // key would answer: it is dropped rather than acted on unseen, or held
    // to act all at once when the window grows.
    if (key != 0 && !painter_.fits()) continue;
    if (key == K_ALT_ENTER) {
      // The size key is the runtime's own; the next present draws the
      // screen the other way.
      painter_.setFilled(!painter_.filled());
      continue;
    }
    if (key != K_LBUTTONDOWN) return key;
    const auto [termRow, termCol] = decoder_.lastClick();
    const auto cell = painter_.screenCellAt(termRow, termCol);
    if (mouse_ && cell) {
      click_ = *cell;
      return key;
    }
  }
}

void TerminalBackend::waitForInput(int timeoutMs) {
  // Also wakes when the terminal takes output again: the caller goes on
  // with the frame.
  pollfd fds[4] = {{inFd_, POLLIN, 0},
                   {shared.wakeRead, POLLIN, 0},
                   {unwritten_.empty() ? -1 : outFd_, POLLOUT, 0},
                   {wakeFd_, POLLIN, 0}};
  const int ready = ::poll(fds, 4, timeoutMs);
  if (ready <= 0) return;  // time-out, or a signal: the caller looks at both
  if ((fds[3].revents & POLLNVAL) != 0) {
    refuseWakeFd();
    return;  // the handler may have waited for keys itself: look afresh
  }
  if ((fds[3].revents & (POLLIN | POLLERR | POLLHUP)) != 0) woken_ = true;
  if ((fds[1].revents & POLLIN) != 0) {
    char drain[64];
    while (::read(shared.wakeRead, drain, sizeof drain) > 0) {
    }
  }
  if ((fds[0].revents & POLLIN) != 0) {
    char buffer[512];
    const ssize_t n = ::read(inFd_, buffer, sizeof buffer);
    if (n > 0) {
      zeroReads_ = 0;
      decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(n)), monotonic());
      return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    // Readable yet nothing to read, again and again: the terminal has gone.
    if (n < 0 || ++zeroReads_ >= 3) {
      if (shared.quit == 0) shared.quit = SIGHUP;
    }
    return;
  }
  if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && shared.quit == 0) {
    shared.quit = SIGHUP;
  }
}

void TerminalBackend::wakeOnInput(int fd) {
  wakeFd_ = fd;
  // poll() passes over a negative descriptor, so one below -1 (none) would
  // never wake the program; a closed one is caught at the next wait.
  if (fd < -1 || (fd >= 0 && ::fcntl(fd, F_GETFD) == -1)) refuseWakeFd();
}

// A descriptor to wake on that is not open would end every wait at once,
// and the program would spin without a word. It is dropped before the
// error is raised, so that a handler that asks the user waits as usual; on
// a default answer the wait goes on without it.
void TerminalBackend::refuseWakeFd() {
  const int fd = std::exchange(wakeFd_, -1);
  auto e = makeError(EG_READ, "Descriptor to wake on is not open", "INKEY", {Item(fd)});
  e->osCode = EBADF;
  e->canDefault = true;
  raise(e);
}

int TerminalBackend::readKey(const Screen& screen, double deadline) {
  lastScreen_ = &screen;
  woken_ = false;
  bool looked = false;  // the terminal has been read in this call
  for (;;) {
    serviceSignals();
    if (const int key = nextKey()) return key;
    present(screen);
    const double now = monotonic();
    if (deadline >= 0 && now >= deadline) {
      // Time is up, but a key that has already arrived still counts.
      if (looked) return 0;
      waitForInput(0);
      looked = true;
      continue;
    }
    double wakeAt = decoder_.deadline();
    if (deadline >= 0 && (wakeAt < 0 || deadline < wakeAt)) wakeAt = deadline;
    int timeoutMs = -1;
    if (wakeAt >= 0) {
      // Rounded up, so that the wait never ends a little early and spins;
      // in slices, because poll() does not count time spent suspended.
      const double ms = std::ceil((wakeAt - now) * 1000.0);
      timeoutMs = static_cast<int>(std::clamp(ms, 0.0, 5000.0));
    }
    waitForInput(timeoutMs);
    looked = true;
    if (std::exchange(woken_, false)) {
      if (const int key = nextKey()) return key;
      present(screen);
      return 0;
    }
  }
}

void TerminalBackend::tone(double hz, double seconds) {
  if (shared.quit != 0 || quiet_) return;  // ending: no sound, no waiting
  if (lastScreen_ != nullptr) present(*lastScreen_);
  sound_.play(hz, seconds);
}

void TerminalBackend::bell() {
  // Behind a frame the terminal has not taken, a bell would ring late if
  // ever: none, then.
  if (!modesEntered_ || !flushOut()) return;
  unwritten_ = caps_.bel.empty() ? std::string("\a") : caps_.bel;
  flushOut();
}

void TerminalBackend::discardTypeahead() {
  // What has arrived by now is read, so that it is dropped too; bounded, so
  // that a flood of input cannot hold the program here.
  for (int i = 0; i < 64; ++i) {
    pollfd fd{inFd_, POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0 || (fd.revents & POLLIN) == 0) break;
    waitForInput(0);
  }
  // The size key among them is the runtime's, not type-ahead: it still
  // counts. (A time before any deadline: an incomplete sequence stays.)
  while (const int key = decoder_.next(-1.0)) {
    if (key == K_ALT_ENTER) painter_.setFilled(!painter_.filled());
  }
}

Backend::KeyEvent TerminalBackend::lastKeyEvent(int inkey) {
  if (inkey == K_LBUTTONDOWN) return {EV_LBCLICK, click_.first, click_.second};
  // A sequence is a special key: code 23 from one is Ctrl-End, since Ctrl-W
  // arrives as a byte. A byte is the character or control code itself, but
  // for the erase pair's other byte, Ctrl-Backspace.
  if (decoder_.lastWasSequence()) return {inkey == K_CTRL_END ? EK_CTRL_END : eventOfInkey(inkey)};
  return {inkey == K_CTRL_BS ? EK_CTRL_BS : inkey};
}

void TerminalBackend::setMouse(bool on) {
  if (on == mouse_) return;
  mouse_ = on;
  if (modesEntered_ && caps_.mouse) pendingOut_ += on ? kMouseOn : kMouseOff;
}

void TerminalBackend::errorOutput(std::string_view text) {
  const std::size_t done = writeAll(STDERR_FILENO, text.data(), text.size());
  // Collected while the screen is up, where a file-size limit or a full
  // memory refuses it like any file: kept aside, so it still reaches the
  // user at the end.
  if (done < text.size()) termsignals::keepRefusedStderr(text.data() + done, text.size() - done);
}

std::unique_ptr<Backend> openTerminalBackend(const TerminalOptions& options) {
  return TerminalBackend::create(options);
}

}  // namespace krx
