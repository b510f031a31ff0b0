// How much processor time a program spends while it waits for keys with
// INKEY(1), as the timer does once a second. The waiting program runs in a
// pseudo-terminal on the real terminal backend; nobody types.
//
//   inkey_idle [seconds]     (default 30)
//
// Prints the processor time of the wait loop, per minute of waiting, and of
// the whole process including start-up. Exit status 0 when the loop stays
// under the figure to beat, 5 ms per minute; 1 otherwise.
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "runtime/backends/terminal.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"

namespace {

constexpr double kBudgetMsPerMinute = 5.0;

double cpuMs(const rusage& usage) {
  const auto ms = [](const timeval& tv) {
    return static_cast<double>(tv.tv_sec) * 1e3 + static_cast<double>(tv.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The waiting program: INKEY(1) until `seconds` have passed; sends the
// processor time of the loop alone through `report`.
int waiter(double seconds, int report) {
  auto backend = krx::TerminalBackend::create();
  if (!backend) return 1;
  double loopMs = 0;
  int waits = 0;
  {
    krx::Runtime rt(std::move(backend));
    krx::RuntimeScope scope(rt);
    krx::SETCURSOR(0);
    krx::DEVPOS(0, 0);
    krx::DEVOUT("waiting with INKEY(1)");
    krx::INKEY();  // draws the screen before the measured loop starts
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double end = rt.backend->monotonic() + seconds;
    while (rt.backend->monotonic() < end) {
      krx::INKEY(1);
      ++waits;
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    loopMs = cpuMs(after) - cpuMs(before);
  }
  dprintf(report, "%.3f %d\n", loopMs, waits);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  if (!(seconds > 0)) {
    std::fprintf(stderr, "usage: %s [seconds]\n", argv[0]);
    return 2;
  }
  if (std::getenv("TERM") == nullptr) setenv("TERM", "xterm-256color", 1);

  int report[2];
  if (pipe(report) != 0) return 2;
  winsize ws{};
  ws.ws_row = 25;
  ws.ws_col = 80;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
  if (pid < 0) {
    std::perror("forkpty");
    return 2;
  }
  if (pid == 0) {
    close(report[0]);
    _exit(waiter(seconds, report[1]));
  }
  close(report[1]);

  // Keep the terminal drained so that the waiter never blocks on output.
  std::size_t screenBytes = 0;
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 1000) < 0) break;
    char buffer[4096];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    screenBytes += static_cast<std::size_t>(n);
  }
  int status = 0;
  rusage whole{};
  wait4(pid, &status, 0, &whole);
  char line[128] = {};
  const ssize_t got = read(report[0], line, sizeof line - 1);
  double loopMs = -1;
  int waits = 0;
  if (got <= 0 || std::sscanf(line, "%lf %d", &loopMs, &waits) != 2 || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the waiting program failed (status %d)\n", status);
    return 2;
  }
  const double perMinute = loopMs * 60.0 / seconds;
  std::printf("INKEY(1) idle for %.0f s: %d waits, %zu bytes to the terminal\n", seconds, waits,
              screenBytes);
  std::printf("wait loop: %.3f ms CPU, %.3f ms per minute (figure to beat: under %.0f)\n", loopMs,
              perMinute, kBudgetMsPerMinute);
  std::printf("whole process, start-up included: %.3f ms CPU\n", cpuMs(whole));
  const bool pass = perMinute < kBudgetMsPerMinute;
  std::printf("%s\n", pass ? "PASS" : "FAIL");
  return pass ? 0 : 1;
}
