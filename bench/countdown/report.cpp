#include "countdown/report.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace bench {

namespace {

// Targets.
constexpr double kFloorSlack = 1.15;          // bytes/s against the changed-cells floor
constexpr double kFilledFloorSlack = 1.10;    // the same, filled out to a larger terminal
constexpr double kRssLimitKiB = 3.0 * 1024;   // peak resident memory
constexpr double kFirstScreenLimitMs = 10.0;  // start to first complete screen
constexpr double kLatenessLimit = 1.1;        // seconds, each level change
constexpr double kGrowthLimit = 0.25;         // seconds, last change against the first

std::string escaped(std::string_view s) {
  std::string out;
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == 0x1b) {
      out += "\\e";
    } else if (b == '\r') {
      out += "\\r";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    } else {
      out += ch;
    }
  }
  return out;
}

std::string fmt(const char* format, double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

void printKinds(const Figures& ours, const Figures& peer) {
  auto per = [](const Figures& f, std::uint64_t n) { return static_cast<double>(n) / f.window; };
  std::printf("\nbytes per second by kind        potclock  tty-clock\n");
  auto line = [&](const char* what, std::uint64_t a, std::uint64_t b) {
    std::printf("  %-28s %8.1f  %9.1f\n", what, per(ours, a), per(peer, b));
  };
  line("cell characters", ours.kinds.text, peer.kinds.text);
  line("  (cells written)", ours.kinds.cells, peer.kinds.cells);
  line("cursor motion", ours.kinds.moves, peer.kinds.moves);
  line("  (motions)", ours.kinds.moveCount, peer.kinds.moveCount);
  line("colour and attributes", ours.kinds.colour, peer.kinds.colour);
  line("  (changes)", ours.kinds.colourCount, peer.kinds.colourCount);
  line("erasing", ours.kinds.erase, peer.kinds.erase);
  line("modes (cursor on/off...)", ours.kinds.modes, peer.kinds.modes);
  line("other", ours.kinds.other, peer.kinds.other);
}

void printFrames(const char* name, const Figures& f) {
  if (f.frameBytes.empty()) return;
  std::vector<std::size_t> sorted = f.frameBytes;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%s: %zu redraws in %.3f s, bytes per redraw min %zu, median %zu, max %zu\n", name,
              sorted.size(), f.window, sorted.front(), sorted[sorted.size() / 2], sorted.back());
}

std::string ratio(double a, double b) {
  return b > 0 ? fmt("%.2f", a / b) : std::string("-");
}

}  // namespace

void countdownRows(const Figures& ours, const Figures& theirs, std::vector<Row>& rows) {
  const double bps = ours.bytesPerSecond();
  const double peerBps = theirs.bytesPerSecond();
  const double floor = ours.floorPerSecond();
  rows.push_back({"terminal bytes/s", fmt("%.1f", bps), fmt("%.1f", peerBps), ratio(bps, peerBps),
                  "<= tty-clock", bps <= peerBps});
  rows.push_back({"  against the changed-cells floor", fmt("%.1f", bps), fmt("%.1f", floor),
                  ratio(bps, floor),
                  fmt("<= floor x %.2f", kFloorSlack) + fmt(" = %.1f", floor * kFloorSlack),
                  bps <= floor * kFloorSlack});
  const double cpu = ours.cpuMsPerMinute();
  const double peerCpu = theirs.cpuMsPerMinute();
  rows.push_back({"CPU ms per minute", fmt("%.2f", cpu), fmt("%.2f", peerCpu), ratio(cpu, peerCpu),
                  "<= tty-clock", cpu <= peerCpu});
  rows.push_back({"  as % of a core", fmt("%.4f", cpu / 600.0), fmt("%.4f", peerCpu / 600.0),
                  ratio(cpu, peerCpu), "", cpu <= peerCpu});
  rows.push_back({"peak resident memory, KiB", fmt("%.0f", ours.hwmKiB), fmt("%.0f", theirs.hwmKiB),
                  ratio(ours.hwmKiB, theirs.hwmKiB), fmt("< %.0f KiB", kRssLimitKiB),
                  ours.hwmKiB < kRssLimitKiB});
  rows.push_back(
      {"first complete screen, ms", fmt("%.2f", ours.firstScreenMs),
       fmt("%.2f", theirs.firstScreenMs), ratio(ours.firstScreenMs, theirs.firstScreenMs),
       fmt("<= %.0f ms", kFirstScreenLimitMs), ours.firstScreenMs <= kFirstScreenLimitMs});
}

void filledRows(const FilledRun& run, std::vector<Row>& rows) {
  const std::string at = std::to_string(run.size.cols) + "x" + std::to_string(run.size.rows);
  const double bps = run.ours.bytesPerSecond();
  const double floor = run.ours.floorPerSecond();
  rows.push_back(
      {"filled " + at + ": bytes/s vs floor", fmt("%.1f", bps), fmt("%.1f", floor),
       ratio(bps, floor),
       fmt("<= floor x %.2f", kFilledFloorSlack) + fmt(" = %.1f", floor * kFilledFloorSlack),
       bps <= floor * kFilledFloorSlack});
  const double peerBps = run.peer.bytesPerSecond();
  rows.push_back({"  bytes/s vs tty-clock", fmt("%.1f", bps), fmt("%.1f", peerBps),
                  ratio(bps, peerBps), "(not a target)", true});
  const double cpu = run.ours.cpuMsPerMinute();
  const double peerCpu = run.peer.cpuMsPerMinute();
  rows.push_back({"  CPU ms per minute", fmt("%.2f", cpu), fmt("%.2f", peerCpu),
                  ratio(cpu, peerCpu), "<= tty-clock", cpu <= peerCpu});
}

void breakRows(const Figures& onBreak, std::vector<Row>& rows) {
  const double bps = onBreak.bytesPerSecond();
  const double floor = onBreak.floorPerSecond();
  rows.push_back({"break screen: bytes/s vs floor", fmt("%.1f", bps), fmt("%.1f", floor),
                  ratio(bps, floor),
                  fmt("<= floor x %.2f", kFloorSlack) + fmt(" = %.1f", floor * kFloorSlack),
                  bps <= floor * kFloorSlack});
}

void latenessRows(const Lateness& late, std::vector<Row>& rows) {
  if (late.late.empty()) return;
  const double worst = *std::max_element(late.late.begin(), late.late.end());
  const double growth = late.late.back() - late.late.front();
  rows.push_back({"largest level-change lateness, s", fmt("%.3f", worst), "-", "-",
                  fmt("<= %.1f s", kLatenessLimit), worst <= kLatenessLimit});
  rows.push_back({"  growth, last change - first, s", fmt("%+.3f", growth), "-", "-",
                  fmt("<= %.2f s", kGrowthLimit), growth <= kGrowthLimit});
  rows.push_back({"peak resident after the chimes, KiB", fmt("%.0f", late.hwmKiB), "-", "-",
                  "(not a target)", true});
}

void printTable(const std::vector<Row>& rows) {
  std::printf("\n%-34s %12s %12s %8s  %-34s %s\n", "figure", "potclock", "tty-clock", "ratio",
              "target", "");
  for (const Row& r : rows) {
    std::printf("%-34s %12s %12s %8s  %-34s %s\n", r.figure.c_str(), r.ours.c_str(), r.peer.c_str(),
                r.ratio.c_str(), r.target.c_str(), r.met ? "met" : "MISSED");
  }
}

void printDetails(const Figures& ours, const Figures& theirs, bool showFrames) {
  std::printf(
      "\nfloor: the fewest bytes that write each changed cell once, with the cheapest cursor\n"
      "motion (ANSI moves, line feed, backspace, carriage return, or rewriting the cells\n"
      "between) and colour change, cell by cell along the rows, over the same window.\n"
      "first complete screen: median of %zu starts (potclock: the level list and the mode\n"
      "question complete on the emulated screen; tty-clock: its output up to the first\n"
      "pause of %.0f ms).\n",
      ours.firstScreens.size(), kQuiet * 1e3);
  auto starts = [](const char* name, const Figures& f) {
    std::printf("  %s starts, ms:", name);
    for (double ms : f.firstScreens) std::printf(" %.2f", ms);
    std::printf("\n");
  };
  starts("potclock", ours);
  starts("tty-clock", theirs);

  printKinds(ours, theirs);
  std::printf("\n");
  printFrames("potclock", ours);
  printFrames("tty-clock", theirs);
  std::printf("whole life: potclock %.1f ms CPU, max RSS %ld KiB; tty-clock %.1f ms CPU, %ld KiB\n",
              ours.lifeCpuMs, ours.maxRssKiB, theirs.lifeCpuMs, theirs.maxRssKiB);
  auto resident = [](const char* name, const Figures& f) {
    long total = 0;
    for (const auto& [what, kib] : f.resident) total += kib;
    std::printf("\n%s resident at the window's end: %ld KiB\n", name, total);
    for (std::size_t i = 0; i < f.resident.size() && i < 10; ++i) {
      std::printf("  %6ld KiB  %s\n", f.resident[i].second, f.resident[i].first.c_str());
    }
  };
  resident("potclock", ours);
  resident("tty-clock", theirs);
  if (showFrames) {
    for (std::size_t i = 0; i < ours.frames.size(); ++i) {
      std::printf("potclock redraw %zu (%zu bytes): %s\n", i + 1, ours.frames[i].size(),
                  escaped(ours.frames[i]).c_str());
    }
    for (std::size_t i = 0; i < theirs.frames.size() && i < 3; ++i) {
      std::printf("tty-clock redraw %zu (%zu bytes): %s\n", i + 1, theirs.frames[i].size(),
                  escaped(theirs.frames[i]).c_str());
    }
  }
}

void printFilledDetails(const FilledRun& run) {
  std::printf("\nfilled %dx%d:\n", run.size.cols, run.size.rows);
  printFrames("potclock", run.ours);
  printFrames("tty-clock", run.peer);
  printKinds(run.ours, run.peer);
}

}  // namespace bench
