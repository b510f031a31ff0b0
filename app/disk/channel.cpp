#include "app/disk/channel.h"

#include "app/game/command.h"

#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace potclock {

namespace {

constexpr std::string_view kMagic = "potclock-tell 1 ";
// The longest command line: a few short words.
constexpr std::size_t kMaxLine = 512;
// How long the clock waits for a command's line once connected: the teller
// sends it at once, and the clock's screen must not wait on a stuck one.
constexpr int kLineWaitMs = 100;

// The machine's monotonic clock, which both processes read alike.
long long monotonicMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Reads up to a line feed, within `waitMs`; nothing when none came, and
// then `closed` says whether the other end closed first.
std::optional<std::string> readLine(int fd, int waitMs, bool* closed = nullptr) {
  std::string line;
  const long long until = monotonicMs() + waitMs;
  for (;;) {
    char buffer[256];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      line.append(buffer, static_cast<std::size_t>(n));
      if (const auto eol = line.find('\n'); eol != std::string::npos) return line.substr(0, eol);
      if (line.size() > kMaxLine) return std::nullopt;
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      if (closed) *closed = true;
      return std::nullopt;
    }
    const long long left = until - monotonicMs();
    if (left <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left));
  }
}

bool sendAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

constexpr std::string_view kNoClock = "no potclock runs this game on this machine";

}  // namespace

std::string channelName(std::string_view gameFile) {
  return std::string(gameFile) + ".tell";
}

Result<std::unique_ptr<Channel>> Channel::open(const StateLocation& where, std::string gameFile) {
  auto dir = StateDir::open(where, false);
  if (!dir.ok()) return dir.failure();
  const std::string name = channelName(gameFile);
  auto listening = dir.value().listenSocket(name);
  if (!listening.ok()) return listening.failure();
  return std::unique_ptr<Channel>(
      new Channel(std::move(dir.value()), name, std::move(listening.value())));
}

Channel::~Channel() {
  listening_.reset();
  dir_.remove(name_);
}

std::optional<Told> Channel::next() {
  for (;;) {
    krx::UniqueFd conn(::accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!conn.valid()) return std::nullopt;
    if (!sameUser(conn.get())) continue;
    const auto line = readLine(conn.get(), kLineWaitMs);
    if (!line || !line->starts_with(kMagic)) continue;
    std::string_view rest = std::string_view(*line).substr(kMagic.size());
    const auto blank = rest.find(' ');
    long long sent = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), sent);
    if (ec != std::errc() || blank == std::string_view::npos || end != rest.data() + blank)
      continue;
    // The teller has given up on it, or is about to: it is not applied.
    if (monotonicMs() - sent > static_cast<long long>(kTellFresh * 1000)) continue;
    auto shared = std::make_shared<krx::UniqueFd>(std::move(conn));
    return Told{commandWords(rest.substr(blank + 1)), [shared](bool ok, std::string_view text) {
                  sendAll(shared->get(),
                          std::string(ok ? "ok " : "no ") + std::string(text) + "\n");
                }};
  }
}

Result<Answer, std::string> tellClock(const StateLocation& where, std::string_view gameFile,
                                      const std::vector<std::string>& words) {
  const auto dir = StateDir::open(where, false);
  if (!dir.ok()) {
    if (dir.failure().kind == Failure::missing) return std::string(kNoClock);
    return dir.failure().reason;
  }
  const auto conn = dir.value().connectSocket(channelName(gameFile));
  if (!conn.ok()) {
    if (conn.failure().kind == Failure::missing) return std::string(kNoClock);
    return "cannot reach the clock: " + conn.failure().reason;
  }
  std::string line = std::string(kMagic) + std::to_string(monotonicMs());
  for (const std::string& word : words) line += " " + word;
  line += "\n";
  const int fd = conn.value().get();
  if (!sendAll(fd, line)) return std::string(kNoClock);
  bool closed = false;
  const auto answer = readLine(fd, static_cast<int>(kTellWait * 1000), &closed);
  if (!answer && closed) return std::string("the clock ended before it answered");
  if (!answer) {
    return std::string(
        "the clock did not answer in time (is its quit question open?); nothing was changed");
  }
  if (answer->starts_with("ok ")) return Answer{true, answer->substr(3)};
  if (answer->starts_with("no ")) return Answer{false, answer->substr(3)};
  return std::string("the clock's answer was not understood");
}

}  // namespace potclock
