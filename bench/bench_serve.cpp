// What the browser display (potclock --serve) costs, and how soon its
// browsers hear of a change at the clock.
//
// A clock in a pseudo-terminal, a served display with 200 browsers on its
// stream (raw sockets that read every event, as a browser does) and a
// terminal display, with a state directory of their own. `+` and `-` at the
// clock change its level 40 times; each time the moment the key is sent and
// the moment each browser has the event naming the new level are taken
// (median and worst over all of them). Then, over a level of its own length
// (60 s unless --seconds says otherwise: a short level, so that a bench run
// stays short; a 20-minute level costs the same per minute), the server's
// and the terminal display's CPU time per minute, private dirty memory and
// peak resident size, the 200 browsers connected throughout.
//
//   bench_serve POTCLOCK [--seconds N]
//
// Exit status: 0 when every browser heard every change within 0.5 s, 1
// when one did not, 2 when something could not be measured.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/process_figures.h"
#include "harness/vterm_pty.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e::Launch;
using e2e::VtermPty;

constexpr int kBrowsers = 200;
constexpr int kChanges = 40;
constexpr double kTarget = 0.5;

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Launch launch(const std::string& program, const fs::path& home, std::vector<std::string> args) {
  Launch l;
  l.argv = {program};
  l.argv.insert(l.argv.end(), args.begin(), args.end());
  l.env = {"XDG_STATE_HOME=" + home.string()};
  return l;
}

// A browser on the stream: what it has read so far.
struct Browser {
  int fd = -1;
  std::string got;
};

bool connectTo(Browser& b, int port) {
  b.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(b.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
  const std::string request = "GET /events HTTP/1.1\r\nHost: bench\r\n\r\n";
  return ::send(b.fd, request.data(), request.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(request.size());
}

// Reads every browser until each has `text` after its byte `from[i]`; the
// moment each had it, or an empty list on time-out.
std::vector<double> hear(std::vector<Browser>& browsers, const std::string& text,
                         const std::vector<std::size_t>& from, double timeout) {
  std::vector<double> at(browsers.size(), 0);
  std::size_t left = browsers.size();
  const double until = now() + timeout;
  std::vector<pollfd> fds(browsers.size());
  while (left > 0 && now() < until) {
    for (std::size_t i = 0; i < browsers.size(); ++i)
      fds[i] = {at[i] > 0 ? -1 : browsers[i].fd, POLLIN, 0};
    if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
    for (std::size_t i = 0; i < browsers.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[8192];
      const ssize_t n = ::recv(browsers[i].fd, buffer, sizeof buffer, 0);
      if (n <= 0) return {};
      browsers[i].got.append(buffer, static_cast<std::size_t>(n));
      if (browsers[i].got.find(text, from[i]) != std::string::npos) {
        at[i] = now();
        --left;
      }
    }
  }
  return left == 0 ? at : std::vector<double>{};
}

void report(const char* name, pid_t pid, double cpu, double seconds) {
  std::printf("  %-24s %7.1f ms CPU a minute, %6ld kB private dirty, %6ld kB peak resident\n", name,
              cpu / seconds * 60 * 1000, bench::procKiB(pid, "smaps_rollup", "Private_Dirty"),
              bench::procKiB(pid, "status", "VmHWM"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_serve POTCLOCK [--seconds N]\n");
    return 2;
  }
  const std::string program = argv[1];
  double seconds = 60;
  if (argc >= 4 && std::string(argv[2]) == "--seconds") seconds = std::atof(argv[3]);
  const TempDir scratch("potclock-bench");
  const fs::path& home = scratch.path();

  VtermPty clock(launch(program, home, {"--quiet"}));
  VtermPty served(launch(program, home, {"--serve", "127.0.0.1:0", "--quiet"}));
  VtermPty display(launch(program, home, {"--watch", "--quiet"}));
  const auto answer = [&](const char* wait, const std::string& keys) {
    if (!clock.waitForText(wait, 10)) throw 2;
    clock.sendKeys(keys);
  };
  int port = 0;
  try {
    answer("(c/m):", "m");
    answer("starting level:", "1\r");
    answer("minutes per level:", "20\r");
    answer("M(inutes:", "M");
    answer("Press any key to start timer", "s");
    if (!served.waitForText("Ctrl-C ends it.", 10)) throw 2;
    const std::string screen = served.screenText();
    const auto at = screen.find("127.0.0.1:");
    if (at == std::string::npos) throw 2;
    port = std::atoi(screen.c_str() + at + 10);
  } catch (int) {
    std::fprintf(stderr, "bench_serve: the clock or the server did not start\n%s\n%s\n",
                 clock.screenText().c_str(), served.screenText().c_str());
    return 2;
  }

  std::vector<Browser> browsers(kBrowsers);
  for (Browser& b : browsers) {
    if (!connectTo(b, port)) {
      std::fprintf(stderr, "bench_serve: a browser could not connect\n");
      return 2;
    }
  }
  std::vector<std::size_t> from(browsers.size(), 0);
  if (hear(browsers, "\"index\":0,", from, 10).empty()) {
    std::fprintf(stderr, "bench_serve: the browsers did not hear the game\n");
    return 2;
  }

  std::vector<double> delays;
  int level = 1;
  for (int i = 0; i < kChanges; ++i) {
    const bool up = (i / 10) % 2 == 0;
    level += up ? 1 : -1;
    for (std::size_t b = 0; b < browsers.size(); ++b) from[b] = browsers[b].got.size();
    const double sent = now();
    clock.sendKeys(up ? "+" : "-");
    const auto heard = hear(browsers, "\"index\":" + std::to_string(level - 1) + ",", from, 5);
    if (heard.empty()) {
      std::fprintf(stderr, "bench_serve: not every browser heard level %d\n", level);
      return 2;
    }
    for (double t : heard) delays.push_back(t - sent);
    clock.pump(0.05);
    display.pump(0.0);
  }
  std::sort(delays.begin(), delays.end());
  const double median = delays[delays.size() / 2], worst = delays.back();
  std::printf("From a key at the clock to the event at %d browsers (%d changes):\n", kBrowsers,
              kChanges);
  std::printf("  median %.1f ms, worst %.1f ms (target %.0f ms)\n", median * 1000, worst * 1000,
              kTarget * 1000);

  // A level of its own: the browsers read whatever comes (keep-alives).
  const double cpuServed = bench::cpuNs(served.pid()), cpuDisplay = bench::cpuNs(display.pid());
  const double until = now() + seconds;
  while (now() < until) {
    for (std::size_t b = 0; b < browsers.size(); ++b) from[b] = browsers[b].got.size();
    hear(browsers, "\n\n", from, 0.2);
    display.pump(0.0);
    clock.pump(0.0);
  }
  std::printf("Over %.0f s of countdown, %d browsers connected:\n", seconds, kBrowsers);
  report("potclock --serve", served.pid(), (bench::cpuNs(served.pid()) - cpuServed) / 1e9, seconds);
  report("potclock --watch (80x25)", display.pid(),
         (bench::cpuNs(display.pid()) - cpuDisplay) / 1e9, seconds);
  for (Browser& b : browsers) ::close(b.fd);
  return worst <= kTarget ? 0 : 1;
}
