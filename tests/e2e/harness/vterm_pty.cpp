#include "harness/vterm_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

extern char** environ;

namespace e2e {

namespace {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool isLocaleVariable(std::string_view entry) {
  return entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=") || entry.starts_with("LC_");
}

// The child's environment: ours, without the locale, with TERM set, then
// the launch's own changes.
std::vector<std::string> childEnvironment(const Launch& launch) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (!isLocaleVariable(entry) && !entry.starts_with("TERM=")) env.emplace_back(entry);
  }
  env.emplace_back("TERM=xterm-256color");
  for (const std::string& change : launch.env) {
    const auto eq = change.find('=');
    const std::string name = change.substr(0, eq);
    std::erase_if(env, [&name](const std::string& e) { return e.starts_with(name + "="); });
    if (eq != std::string::npos) env.push_back(change);
  }
  return env;
}

}  // namespace

VtermPty::VtermPty(const Launch& launch) : Emulator(launch.rows, launch.cols) {
  // Answers to the program's queries go back through the terminal.
  onAnswer([this](std::string_view bytes) { sendKeys(bytes); });

  // Everything the child needs is built before the fork.
  std::vector<std::string> env = childEnvironment(launch);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = launch.argv;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (argv.size() < 2) throw std::invalid_argument("no program to run");

  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(launch.rows);
  ws.ws_col = static_cast<unsigned short>(launch.cols);
  startedAt_ = now();
  pid_ = ::forkpty(&master_, nullptr, nullptr, &ws);
  if (pid_ < 0) throw std::runtime_error(std::string("forkpty: ") + std::strerror(errno));
  if (pid_ == 0) {
    // A test run started as a background job has SIGINT and SIGQUIT ignored,
    // and the program would inherit that: give it the defaults a terminal
    // session has, and an empty signal mask.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGQUIT, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv.data(), envp.data());
    const char message[] = "exec failed\n";
    const ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    ::_exit(127);
  }
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
}

VtermPty::~VtermPty() {
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
  if (master_ >= 0) ::close(master_);
}

bool VtermPty::readOnce(int timeoutMs) {
  if (closed_) return false;
  pollfd fd{master_, POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) <= 0) return false;
  char buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n > 0) {
    lastOutputAt_ = now();
    bytesRead_ += static_cast<std::uint64_t>(n);
    output_.append(buffer, static_cast<std::size_t>(n));
    play(std::string_view(buffer, static_cast<std::size_t>(n)));
    return true;
  }
  if (n < 0 && errno == EINTR) return true;
  closed_ = true;  // EIO: every process has let go of the terminal
  return false;
}

void VtermPty::pump(double seconds) {
  const double end = now() + seconds;
  while (!closed_) {
    const double left = end - now();
    if (left <= 0) break;
    readOnce(static_cast<int>(left * 1000) + 1);
  }
}

bool VtermPty::waitUntil(const std::function<bool()>& done, double timeoutSeconds) {
  const double end = now() + timeoutSeconds;
  for (;;) {
    if (done()) return true;
    const double left = end - now();
    if (left <= 0) return false;
    if (!readOnce(static_cast<int>(std::min(left, 0.05) * 1000) + 1) && closed_) return done();
  }
}

bool VtermPty::programAsleep() const {
  if (status_ >= 0) return true;
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string line;
  std::getline(stat, line);
  // The state follows the command name, which is in parentheses and may
  // itself hold blanks and parentheses.
  const auto close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return true;  // gone
  const char state = line[close + 2];
  return state != 'R' && state != 'D';
}

bool VtermPty::settle(double timeoutSeconds) {
  // Asleep at three looks in a row, 20 ms apart, with nothing read between:
  // output written before the program went to sleep has arrived by then.
  const double end = now() + timeoutSeconds;
  int quietLooks = 0;
  while (!closed_ && quietLooks < 3) {
    if (now() > end) return false;
    if (readOnce(20)) {
      quietLooks = 0;
    } else {
      quietLooks = programAsleep() ? quietLooks + 1 : 0;
    }
  }
  return true;
}

bool VtermPty::waitForText(std::string_view text, double timeoutSeconds) {
  return waitUntil([&] { return screenText().find(text) != std::string::npos; }, timeoutSeconds);
}

void VtermPty::sendKeys(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void VtermPty::resize(int rows, int cols) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  Emulator::resize(rows, cols);
  ::ioctl(master_, TIOCSWINSZ, &ws);
}

void VtermPty::kill(int sig) {
  if (pid_ > 0 && status_ < 0) ::kill(pid_, sig);
}

bool VtermPty::reaped() {
  int status = 0;
  if (status_ < 0 && ::wait4(pid_, &status, WNOHANG, &usage_) == pid_) status_ = status;
  return status_ >= 0;
}

int VtermPty::waitExit(double timeoutSeconds) {
  const double end = now() + timeoutSeconds;
  while (!reaped()) {
    const double left = end - now();
    if (left <= 0) return -1;
    if (!readOnce(static_cast<int>(std::min(left, 0.05) * 1000) + 1) && closed_) {
      ::usleep(1000);
    }
  }
  // Whatever it wrote last is still in the terminal's buffer.
  while (!closed_ && readOnce(100)) {
  }
  return status_;
}

}  // namespace e2e

namespace e2e {

termios VtermPty::terminalModes() const {
  // On the master side the modes asked for are the terminal's own.
  termios modes{};
  ::tcgetattr(master_, &modes);
  return modes;
}

bool VtermPty::outputBlocked() const {
  // Opened only for the look: a descriptor kept open would hold the
  // terminal after the program has gone.
  const char* name = ::ptsname(master_);
  if (name == nullptr) return false;
  const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave < 0) return false;
  // A writer busy at that instant also makes it look full, for a moment;
  // a full buffer stays full.
  bool blocked = true;
  for (int i = 0; i < 20 && blocked; ++i) {
    if (i > 0) ::usleep(5000);
    pollfd fd{slave, POLLOUT, 0};
    blocked = ::poll(&fd, 1, 0) == 0;
  }
  ::close(slave);
  return blocked;
}

int VtermPty::waitExitUnread(double timeoutSeconds) {
  const double end = now() + timeoutSeconds;
  while (!reaped()) {
    if (now() >= end) return -1;
    ::usleep(1000);
  }
  return status_;
}

}  // namespace e2e

namespace e2e {

std::string VtermPty::leftUndone() const {
  // The last value each DEC private mode was set to, the parameters of the
  // last colour change, the keypad's mode, and whether the alternate screen
  // held drawing when it was left, read from the bytes as a terminal reads
  // them: an escape inside a sequence (one cut short when a stalled
  // terminal's output was discarded) starts a new one.
  std::map<long, char> modes;
  std::optional<std::string> lastSgr;
  std::optional<char> keypad;
  bool drawn = false;
  bool leftDrawn = false;
  const auto sgrDefault = [&] {
    return !lastSgr || lastSgr->find_first_not_of("0") == std::string::npos;
  };
  const auto onAlternate = [&] {
    return std::ranges::any_of(std::array{1049L, 1047L, 47L}, [&](long mode) {
      const auto it = modes.find(mode);
      return it != modes.end() && it->second == 'h';
    });
  };
  const std::string& s = output_;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '\x1b' || i + 1 >= s.size()) {
      if (static_cast<unsigned char>(s[i]) >= 0x20 && s[i] != 0x7f && onAlternate()) drawn = true;
      ++i;
      continue;
    }
    const char kind = s[i + 1];
    if (kind == '=' || kind == '>') {
      keypad = kind;
      i += 2;
      continue;
    }
    if (kind != '[') {
      // A character set's designation takes the byte after it.
      i += std::string_view("()*+").find(kind) != std::string_view::npos ? 3 : 2;
      continue;
    }
    std::size_t j = i + 2;
    const bool priv = j < s.size() && s[j] == '?';
    if (priv) ++j;
    const std::size_t paramsFrom = j;
    while (j < s.size() && s[j] != '\x1b' && (s[j] < 0x40 || s[j] > 0x7e)) ++j;
    if (j >= s.size() || s[j] == '\x1b') {
      i = j;
      continue;
    }
    const std::string params = s.substr(paramsFrom, j - paramsFrom);
    const char final = s[j];
    if (priv && (final == 'h' || final == 'l')) {
      const bool wasOn = onAlternate();
      std::size_t at = 0;
      while (at <= params.size()) {
        const std::size_t end = std::min(params.find(';', at), params.size());
        if (end > at) modes[std::strtol(params.c_str() + at, nullptr, 10)] = final;
        at = end + 1;
      }
      if (wasOn && !onAlternate()) leftDrawn = drawn;
      if (!wasOn && onAlternate()) drawn = false;
    } else if (!priv && final == 'm') {
      lastSgr = params;
    } else if (!priv && final == 'J' && params == "2" && sgrDefault()) {
      drawn = false;
    }
    i = j + 1;
  }

  std::string undone;
  for (const auto& [mode, last] : modes) {
    // Shown cursor (25) and wrapping at the margin (7) are on by default.
    const char wanted = mode == 25 || mode == 7 ? 'h' : 'l';
    if (last != wanted) undone += " mode ?" + std::to_string(mode) + last;
  }
  if (!sgrDefault()) undone += " attributes \\e[" + *lastSgr + "m";
  if (keypad == '=') undone += " keypad transmit";
  if (leftDrawn) undone += " alternate screen left with drawing on it";
  return undone;
}

}  // namespace e2e
