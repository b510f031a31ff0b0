// What a display (potclock --watch) costs, and how soon it follows the clock.
//
// A clock in a pseudo-terminal of 80x25 and two displays, 80x25 and 160x50,
// each read through a terminal emulator, with a state directory of their
// own. The clock runs level 1 by minutes; `+` and `-` change its level 100
// times, and each time the moment its key is sent and the moment each
// display's caption names the new level are taken. Then, over a window of
// steady countdown, each program's bytes to its terminal per second, CPU
// time per minute, and private dirty memory and proportional set size,
// beside tty-clock (`tty-clock -s -c`, when installed) in a pseudo-terminal
// of each display's size, run at the same time.
//
//   bench_watch POTCLOCK [--seconds N]
//
// Exit status: 0 when every change showed within 0.2 s and the private
// memory of the clock and of every display is no more than tty-clock's at
// its size, 1 when one is not, 2 when something could not be measured.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/process_figures.h"
#include "harness/vterm_pty.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e::Launch;
using e2e::VtermPty;

constexpr double kTarget = 0.2;
constexpr int kChanges = 100;

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Launch launch(const std::string& program, const fs::path& home, std::vector<std::string> args,
              int rows, int cols) {
  Launch l;
  l.argv = {program};
  l.argv.insert(l.argv.end(), args.begin(), args.end());
  l.env = {"XDG_STATE_HOME=" + home.string()};
  l.rows = rows;
  l.cols = cols;
  return l;
}

// tty-clock from PATH, or where Debian puts it; empty when it is not there.
std::string findTtyClock() {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(std::string(path != nullptr ? path : "") + ":/usr/bin:/usr/games");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && ::access((dir + "/tty-clock").c_str(), X_OK) == 0)
      return dir + "/tty-clock";
  return {};
}

// The clock's caption names `level` (a built-in level below 24).
bool captionShows(const VtermPty& term, int level) {
  char want[32];
  std::snprintf(want, sizeof want, "(Level: %2d)", level);
  return term.screenText().find(want) != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_watch POTCLOCK [--seconds N]\n");
    return 2;
  }
  const std::string program = argv[1];
  double seconds = 30;
  if (argc >= 4 && std::string(argv[2]) == "--seconds") seconds = std::atof(argv[3]);
  // A program linked a moment ago has its pages dirty in the page cache
  // until they are written back, and a page of it that one process alone
  // maps counts as that process's private dirty memory.
  if (const int fd = ::open(program.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }

  const TempDir scratch("potclock-bench");
  const fs::path& home = scratch.path();
  int status = 0;
  {
    VtermPty clock(launch(program, home, {"--quiet"}, 25, 80));
    VtermPty small(launch(program, home, {"--watch", "--quiet"}, 25, 80));
    VtermPty large(launch(program, home, {"--watch", "--quiet"}, 50, 160));
    // The yardstick, one at each display's size, running throughout.
    const std::string ttyClock = findTtyClock();
    std::unique_ptr<VtermPty> peerSmall, peerLarge;
    if (ttyClock.empty()) {
      std::printf(
          "tty-clock not found (Debian package tty-clock; `make bench-deps`): "
          "the displays are measured without it\n");
    } else {
      peerSmall = std::make_unique<VtermPty>(launch(ttyClock, home, {"-s", "-c"}, 25, 80));
      peerLarge = std::make_unique<VtermPty>(launch(ttyClock, home, {"-s", "-c"}, 50, 160));
    }
    struct Named {
      const char* name;
      VtermPty* term;
      VtermPty* peer;  // tty-clock at its size, or none
    };
    const std::vector<Named> displays{{"display 80x25", &small, peerSmall.get()},
                                      {"display 160x50", &large, peerLarge.get()}};

    // Manual mode, level 1, 20 minutes a level, minutes; then the start key.
    const auto answer = [&](const char* wait, const std::string& keys) {
      if (!clock.waitForText(wait, 10)) throw 2;
      clock.sendKeys(keys);
    };
    try {
      answer("(c/m):", "m");
      answer("starting level:", "1\r");
      answer("minutes per level:", "20\r");
      answer("M(inutes:", "M");
      answer("Press any key to start timer", "s");
      for (const Named& d : displays)
        if (!d.term->waitUntil([&] { return captionShows(*d.term, 1); }, 10)) throw 2;
    } catch (int) {
      std::fprintf(stderr, "bench_watch: the clock did not start\n%s\n",
                   clock.screenText().c_str());
      return 2;
    }

    std::vector<std::vector<double>> delays(displays.size());
    int level = 1;
    for (int i = 0; i < kChanges; ++i) {
      const bool up = (i / 10) % 2 == 0;  // ten up, ten down
      level += up ? 1 : -1;
      const double sent = now();
      clock.sendKeys(up ? "+" : "-");
      for (std::size_t d = 0; d < displays.size(); ++d) {
        VtermPty& term = *displays[d].term;
        if (!term.waitUntil([&] { return captionShows(term, level); }, 5)) {
          std::fprintf(stderr, "bench_watch: %s never showed level %d\n", displays[d].name, level);
          return 2;
        }
        delays[d].push_back(now() - sent);
      }
      // The clock takes its next key once it has drawn this level.
      clock.waitUntil([&] { return captionShows(clock, level); }, 5);
      clock.settle(5);
    }
    std::printf("From the clock's key to the display's change, over %d changes:\n", kChanges);
    for (std::size_t d = 0; d < displays.size(); ++d) {
      std::vector<double> v = delays[d];
      std::sort(v.begin(), v.end());
      const double median = v[v.size() / 2], most = v.back();
      std::printf("  %-15s median %6.1f ms, maximum %6.1f ms (target under %.0f ms)\n",
                  displays[d].name, 1000 * median, 1000 * most, 1000 * kTarget);
      if (most >= kTarget) status = 1;
    }

    // Steady countdown: every program read throughout the window.
    struct Sample {
      const char* name;
      VtermPty* term;
      std::uint64_t bytes = 0;
      double cpu = 0;
    };
    std::vector<Sample> all{
        {"clock 80x25", &clock}, {"display 80x25", &small}, {"display 160x50", &large}};
    if (peerSmall) {
      all.push_back({"tty-clock 80x25", peerSmall.get()});
      all.push_back({"tty-clock 160x50", peerLarge.get()});
    }
    for (Sample& s : all) {
      s.term->settle(5);
      s.bytes = s.term->bytesRead();
      s.cpu = bench::cpuNs(s.term->pid()) / 1e9;
    }
    const double start = now();
    while (now() - start < seconds)
      for (Sample& s : all) s.term->pump(0.05);
    const double window = now() - start;
    std::printf("Over %.0f s of countdown:\n", window);
    for (Sample& s : all) {
      const double bytes = static_cast<double>(s.term->bytesRead() - s.bytes) / window;
      const double cpu = (bench::cpuNs(s.term->pid()) / 1e9 - s.cpu) / window * 60 * 1000;
      std::printf(
          "  %-16s %6.0f bytes/s, %6.1f ms CPU a minute, private dirty %5ld kB, PSS %5ld kB\n",
          s.name, bytes, cpu, bench::procKiB(s.term->pid(), "smaps_rollup", "Private_Dirty"),
          bench::procKiB(s.term->pid(), "smaps_rollup", "Pss"));
    }
    // A room runs several displays, and the clock stays on all evening: each
    // must cost no more private memory than the familiar clock at its size.
    std::vector<Named> held = displays;
    held.insert(held.begin(), {"clock 80x25", &clock, peerSmall.get()});
    for (const Named& d : held) {
      if (d.peer == nullptr) continue;
      const long ours = bench::procKiB(d.term->pid(), "smaps_rollup", "Private_Dirty");
      const long theirs = bench::procKiB(d.peer->pid(), "smaps_rollup", "Private_Dirty");
      std::printf("  %-16s private dirty %ld kB against tty-clock's %ld kB: %s\n", d.name, ours,
                  theirs, ours <= theirs ? "no more" : "MORE");
      if (ours > theirs) status = 1;
    }
  }
  return status;
}
