// What the browser display's end-to-end tests and bench share: the served
// display in a pseudo-terminal, and a client on a raw socket that can
// misbehave as no browser does. Every wait is on bytes that have come.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <string_view>
#include <vector>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

namespace serve {

// potclock --serve on a free port of the loopback address.
class ServedDisplay {
 public:
  explicit ServedDisplay(const e2e::StateHome& home, std::vector<std::string> args = {})
      : term_(launch(home, std::move(args))) {
    if (!term_.waitForText("Ctrl-C ends it.", e2e::kWait)) return;
    const std::string screen = term_.screenText();
    const std::string prefix = "http://127.0.0.1:";
    if (const auto at = screen.find(prefix); at != std::string::npos)
      port_ = std::stoi(screen.substr(at + prefix.size()));
  }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  e2e::VtermPty& term() { return term_; }
  // Ends it with `signal`: true when it ends at once with status 0.
  bool endsWith(int signal) {
    term_.kill(signal);
    const int status = term_.waitExit(e2e::kWait);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  static e2e::Launch launch(const e2e::StateHome& home, std::vector<std::string> args) {
    args.insert(args.begin(), {"--serve", "127.0.0.1:0"});
    return e2e::potclockIn(home, std::move(args));
  }
  e2e::VtermPty term_;
  int port_ = 0;
};

class Client {
 public:
  explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) closed_ = true;
  }
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  // Reads until `text` has come after byte `from` of what came; false when
  // the connection closes or `timeout` seconds pass first.
  bool waitFor(std::string_view text, double timeout = e2e::kWait, std::size_t from = 0) {
    return readUntil([&] { return got_.find(text, from) != std::string::npos; }, timeout);
  }
  // Reads until the server closes the connection.
  bool waitClosed(double timeout) {
    return readUntil([] { return false; }, timeout) || closed_;
  }
  const std::string& got() const { return got_; }

 private:
  template <class Done>
  bool readUntil(Done done, double timeout) {
    using clock = std::chrono::steady_clock;
    const auto until = clock::now() + std::chrono::duration<double>(timeout);
    while (!done()) {
      if (closed_) return false;
      const auto left = std::chrono::duration<double>(until - clock::now()).count();
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
      char buffer[8192];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed_ = true;
        continue;
      }
      got_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

  int fd_;
  std::string got_;
  bool closed_ = false;
};

}  // namespace serve
