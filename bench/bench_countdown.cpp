// What the running countdown costs, next to a familiar terminal clock.
//
// Both programs run in a pseudo-terminal of 80x25 that this program reads
// through a terminal emulator. potclock is taken through the setup dialogue as
// an organiser would (manual mode, level 1, 20 minutes a level, minutes) and
// left counting down; the peer clock runs as `tty-clock -s -c`, which redraws
// large digits once a second. For each, over a window of steady running that
// opens and closes at the end of a redraw:
//   bytes written to the terminal per second,
//   processor time per minute (the scheduler's own count, in nanoseconds),
//   peak resident memory (VmHWM just before the program is ended),
//   time from start to the first complete screen.
// A third run, with 1-minute levels, times each change of level against the
// start of the first one.
//
// Then, for each larger terminal (160x50 and 240x75 by default), potclock
// filled out to it with Alt-Enter once the timer runs, beside the
// changed-cells floor at that size, and tty-clock in a terminal of the same
// size.
//
//   bench_countdown [options] POTCLOCK
//     --seconds N   length of the measured window (default 60)
//     --settle N    countdown before the window opens, seconds (default 3)
//     --levels N    level changes to time (default 3; 0 leaves the run out)
//     --peer PATH   the peer clock (default: tty-clock from PATH, /usr/bin, /usr/games)
//     --dump DIR    writes the bytes of each window to DIR/potclock.out, DIR/peer.out
//     --starts N    starts over which the first complete screen is timed (median; default 5)
//     --frames      prints every redraw of potclock's window, escaped
//     --lateness-only  only the level-change run
//     --filled LIST  terminal sizes for the filled runs, COLSxROWS separated by
//                    commas (default 160x50,240x75; "none" leaves them out)
//
// Exit status: 0 when every target is met, 1 when one is missed, 2 when
// something could not be measured.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "countdown/report.h"
#include "countdown/runs.h"

using namespace bench;

namespace {

std::string findPeer() {
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      const std::string dir(rest.substr(0, colon));
      const std::string candidate = dir + "/tty-clock";
      if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const char* candidate : {"/usr/bin/tty-clock", "/usr/games/tty-clock"}) {
    if (access(candidate, X_OK) == 0) return candidate;
  }
  return {};
}

// COLSxROWS,COLSxROWS...; nullopt when malformed or smaller than 80x25.
std::optional<std::vector<TermSize>> parseSizes(std::string_view list) {
  std::vector<TermSize> out;
  if (list == "none") return out;
  while (!list.empty()) {
    const auto comma = list.find(',');
    const std::string item(list.substr(0, comma));
    int cols = 0, rows = 0;
    char x = 0;
    std::istringstream in(item);
    if (!(in >> cols >> x >> rows) || x != 'x' || !in.eof() || cols < 80 || rows < 25 ||
        cols > 1000 || rows > 500)
      return std::nullopt;
    out.push_back({rows, cols});
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return out;
}

void dump(const std::string& dir, const std::string& name, const std::string& bytes) {
  mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
}

int usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--seconds N] [--settle N] [--levels N] [--peer PATH] [--dump DIR] "
               "[--starts N] [--frames] [--lateness-only] [--filled LIST] POTCLOCK\n",
               self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  double settle = 3;
  int levels = 3;
  std::string peer;
  std::string dumpDir;
  bool showFrames = false;
  bool latenessOnly = false;
  int starts = 5;
  std::string binary;
  std::vector<TermSize> filledSizes{{50, 160}, {75, 240}};
  for (int i = 1; i < argc; ++i) {
    const std::string_view a(argv[i]);
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--seconds" && (v = value())) {
      seconds = std::atof(v);
    } else if (a == "--settle" && (v = value())) {
      settle = std::atof(v);
    } else if (a == "--levels" && (v = value())) {
      levels = std::atoi(v);
    } else if (a == "--peer" && (v = value())) {
      peer = v;
    } else if (a == "--dump" && (v = value())) {
      dumpDir = v;
    } else if (a == "--starts" && (v = value())) {
      starts = std::atoi(v);
    } else if (a == "--filled" && (v = value())) {
      const auto sizes = parseSizes(v);
      if (!sizes) return usage(argv[0]);
      filledSizes = *sizes;
    } else if (a == "--lateness-only") {
      latenessOnly = true;
    } else if (a == "--frames") {
      showFrames = true;
    } else if (!a.starts_with("--") && binary.empty()) {
      binary = argv[i];
    } else {
      return usage(argv[0]);
    }
  }
  if (binary.empty() || !(seconds >= 2) || settle < 0 || levels < 0 || starts < 1 ||
      (latenessOnly && levels == 0))
    return usage(argv[0]);
  if (peer.empty()) peer = findPeer();
  if (peer.empty() || access(peer.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "tty-clock not found (Debian package tty-clock; `make bench-deps`)\n");
    return 2;
  }
  if (access(binary.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "%s: not an executable\n", binary.c_str());
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);

  warmUp();
  if (!latenessOnly) {
    std::printf("countdown, 80x25, TERM=xterm-256color: window of %.0f s after %.0f s of running\n",
                seconds, settle);
    std::fflush(stdout);
  }
  Figures ours;
  Figures theirs;
  if (!latenessOnly) {
    ours = measurePotclock(binary, settle, seconds);
    if (!ours.ok) {
      std::fprintf(stderr, "potclock: %s\n", ours.failure.c_str());
      return 2;
    }
    theirs = measurePeer(peer, settle, seconds);
    if (!theirs.ok) {
      std::fprintf(stderr, "%s: %s\n", peer.c_str(), theirs.failure.c_str());
      return 2;
    }
    ours.firstScreenMs = medianFirstScreen(ours.firstScreenMs, starts, {binary},
                                           potclockFirstScreen, ours.firstScreens);
    theirs.firstScreenMs = medianFirstScreen(theirs.firstScreenMs, starts, {peer, "-s", "-c"},
                                             peerFirstScreen, theirs.firstScreens);
  }
  Figures onBreak;
  if (!latenessOnly) {
    std::printf("countdown of a break (--structure), 80x25\n");
    std::fflush(stdout);
    onBreak = measurePotclockBreak(binary, settle, seconds);
    if (!onBreak.ok) {
      std::fprintf(stderr, "potclock on a break: %s\n", onBreak.failure.c_str());
      return 2;
    }
  }
  std::vector<FilledRun> filled;
  for (const TermSize size : latenessOnly ? std::vector<TermSize>{} : filledSizes) {
    std::printf("countdown filled out to %dx%d (Alt-Enter), beside tty-clock at that size\n",
                size.cols, size.rows);
    std::fflush(stdout);
    FilledRun run{size, measurePotclockFilled(binary, size, settle, seconds), {}};
    if (!run.ours.ok) {
      std::fprintf(stderr, "potclock filled: %s\n", run.ours.failure.c_str());
      return 2;
    }
    run.peer = measurePeer(peer, settle, seconds, size);
    if (!run.peer.ok) {
      std::fprintf(stderr, "%s: %s\n", peer.c_str(), run.peer.failure.c_str());
      return 2;
    }
    filled.push_back(std::move(run));
  }
  if (!dumpDir.empty()) {
    dump(dumpDir, "potclock.out", ours.capture);
    dump(dumpDir, "peer.out", theirs.capture);
  }

  Lateness late;
  if (levels > 0) {
    std::printf("level changes, 1-minute levels, %d changes:\n", levels);
    std::fflush(stdout);
    late = measureLateness(binary, levels);
    if (!late.ok) {
      std::fprintf(stderr, "lateness run: %s\n", late.failure.c_str());
      return 2;
    }
  }

  std::vector<Row> rows;
  if (!latenessOnly) {
    countdownRows(ours, theirs, rows);
    breakRows(onBreak, rows);
  }
  for (const FilledRun& run : filled) filledRows(run, rows);
  latenessRows(late, rows);
  printTable(rows);
  if (!latenessOnly) printDetails(ours, theirs, showFrames);
  for (const FilledRun& run : filled) printFilledDetails(run);

  const bool all = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return r.met; });
  std::printf("\n%s\n", all ? "all targets met" : "some targets MISSED");
  return all ? 0 : 1;
}
