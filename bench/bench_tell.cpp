// How soon what a director tells the clock shows on the clock's screen and on
// a display's.
//
// A clock (`potclock --structure FILE --quiet`, two levels of an hour) and a
// display of it (`potclock --watch --quiet`) run in pseudo-terminals of
// 80x25. The bench then runs `potclock tell level 2` and `potclock tell
// level 1` by turns, as a director at another terminal would, and for each
// takes the time from the moment the command is started to the moment each
// screen shows the other level's blinds (read through a terminal emulator,
// polled every millisecond).
//
//   bench_tell POTCLOCK [COMMANDS]      (default 100 commands)
//
// Prints the median and the largest delay for each screen. Exit status: 0
// when each median is under 20 ms, 1 when not, 2 when the run could not be
// made.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness/vterm_pty.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using e2e::Launch;
using e2e::VtermPty;

constexpr double kTargetMs = 20;

constexpr const char* kStructure = R"(name = "Bench"
minutes = 60

[[level]]
blinds = [25, 50]

[[level]]
blinds = [100, 200]
)";

double nowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The rows of the large blinds, which change only when the level does.
std::string blindsRows(const VtermPty& term) {
  std::string rows;
  for (int r = 6; r < 12; ++r) rows += term.rowText(r) + "\n";
  return rows;
}

pid_t startTell(const std::string& program, const std::string& level) {
  const char* argv[] = {program.c_str(), "tell", "level", level.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void report(const char* name, std::vector<double> delays) {
  std::sort(delays.begin(), delays.end());
  std::printf("  %-8s median %6.1f ms   max %6.1f ms   (%zu commands)\n", name,
              delays[delays.size() / 2], delays.back(), delays.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: bench_tell POTCLOCK [COMMANDS]\n");
    return 2;
  }
  const std::string program = argv[1];
  const int commands = argc == 3 ? std::atoi(argv[2]) : 100;
  if (::access(program.c_str(), X_OK) != 0 || commands < 1) {
    std::fprintf(stderr, "bench_tell: %s is not an executable, or no commands asked for\n",
                 program.c_str());
    return 2;
  }
  const TempDir home("potclock-bench");
  const fs::path structure = home.path() / "bench.toml";
  std::ofstream(structure) << kStructure;
  const std::string state = "XDG_STATE_HOME=" + home.path().string();
  ::setenv("XDG_STATE_HOME", home.path().c_str(), 1);
  const auto launch = [&](std::vector<std::string> args) {
    Launch l;
    l.argv = {program};
    l.argv.insert(l.argv.end(), args.begin(), args.end());
    l.argv.push_back("--quiet");
    l.env = {state};
    return l;
  };
  VtermPty clock(launch({"--structure", structure.string()}));
  if (!clock.waitForText("Press any key to start timer", 10)) {
    std::fprintf(stderr, "bench_tell: the clock did not start\n%s\n", clock.screenText().c_str());
    return 2;
  }
  clock.sendKeys("s");
  VtermPty display(launch({"--watch"}));
  if (!clock.waitForText("T I M E", 10) || !display.waitForText("T I M E", 10)) {
    std::fprintf(stderr, "bench_tell: the game did not show\n");
    return 2;
  }
  clock.settle(5);
  display.settle(5);

  std::vector<double> onClock, onDisplay;
  for (int i = 0; i < commands; ++i) {
    const std::string before = blindsRows(clock);
    const double start = nowMs();
    const pid_t teller = startTell(program, i % 2 == 0 ? "2" : "1");
    if (teller < 0) {
      std::fprintf(stderr, "bench_tell: cannot run %s\n", program.c_str());
      return 2;
    }
    double clockAt = 0, displayAt = 0;
    while ((clockAt == 0 || displayAt == 0) && nowMs() - start < 5000) {
      clock.readOnce(1);
      display.readOnce(1);
      if (clockAt == 0 && blindsRows(clock) != before) clockAt = nowMs();
      if (displayAt == 0 && blindsRows(display) != before) displayAt = nowMs();
    }
    int status = 0;
    ::waitpid(teller, &status, 0);
    if (clockAt == 0 || displayAt == 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "bench_tell: command %d did not show (status %d)\n", i, status);
      return 2;
    }
    onClock.push_back(clockAt - start);
    onDisplay.push_back(displayAt - start);
    // Both screens drawn whole before the next command.
    clock.settle(2);
    display.settle(2);
  }
  std::printf("bench_tell: from `potclock tell level N` to the other blinds on the screen\n");
  report("clock", onClock);
  report("display", onDisplay);
  std::sort(onClock.begin(), onClock.end());
  std::sort(onDisplay.begin(), onDisplay.end());
  const bool met =
      onClock[onClock.size() / 2] < kTargetMs && onDisplay[onDisplay.size() / 2] < kTargetMs;
  std::printf("  target: median under %.0f ms on each screen: %s\n", kTargetMs,
              met ? "met" : "NOT met");
  return met ? 0 : 1;
}
