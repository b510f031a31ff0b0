#include "countdown/runs.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>

#include "common/process_figures.h"

namespace bench {

namespace {

double msOf(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) * 1e3 + static_cast<double>(tv.tv_usec) / 1e3;
}

// Lets `p` run `settle` seconds, then measures `seconds` of it, from the end
// of one redraw to the end of the redraw that closes the window.
void measureWindow(TimedProgram& p, double settle, double seconds, Figures& f) {
  p.pumpFor(settle);
  std::optional<double> opened;
  double closedAt = 0;
  double cpu0 = 0;
  std::uint64_t bytes0 = 0;
  std::size_t windowStart = 0;  // in the program's output
  std::size_t frameStart = 0;
  Snapshot shown;
  FloorModel floor;
  floor.rows = p.rows();
  floor.cols = p.cols();
  p.onFrame = [&](double end) {
    if (!opened) {
      opened = end;
      cpu0 = cpuNs(p.pid());
      bytes0 = p.bytesRead();
      windowStart = frameStart = p.output().size();
      shown = p.snapshot();
      return;
    }
    const std::string_view out = p.output();
    f.frames.emplace_back(out.substr(frameStart));
    f.frameBytes.push_back(out.size() - frameStart);
    frameStart = out.size();
    Snapshot next = p.snapshot();
    f.floorBytes += floor.cost(shown, next);
    shown = std::move(next);
    if (end >= *opened + seconds - 0.5) closedAt = end;
  };
  const double giveUp = now() + settle + seconds + 10;
  p.pumpUntil(giveUp, [&] { return closedAt > 0; });
  // The frame callback ran inside the last read's quiet check; measure now.
  const double cpu1 = cpuNs(p.pid());
  p.onFrame = nullptr;
  if (!opened || closedAt == 0) {
    f.failure = "no steady redraws seen";
    return;
  }
  f.capture = p.output().substr(windowStart);
  f.window = closedAt - *opened;
  f.windowBytes = p.bytesRead() - bytes0;
  f.cpuMs = (cpu1 - cpu0) / 1e6;
  f.hwmKiB = vmHwmKiB(p.pid());
  f.resident = residentByMapping(p.pid());
  f.kinds.add(f.capture);
  f.ok = true;
}

void finish(TimedProgram& p, Figures& f) {
  const rusage usage = p.end();
  f.lifeCpuMs = msOf(usage.ru_utime) + msOf(usage.ru_stime);
  f.maxRssKiB = usage.ru_maxrss;
}

bool levelListAndQuestion(const TimedProgram& p) {
  bool list = false;
  for (int r = 0; r < p.rows() && !list; ++r) {
    const std::string row = p.rowText(r);
    list = row.find("50 = ") != std::string::npos && row.find("800/1600") != std::string::npos;
  }
  return list && p.screenText().find("Select: C(omputed or m(anual (c/m):") != std::string::npos;
}

bool captionShows(const TimedProgram& p, int level) {
  char want[32];
  std::snprintf(want, sizeof want, "(Level: %2d)", level);
  return p.screenText().find(want) != std::string::npos;
}

// Takes potclock from its first question to a running minutes-mode level.
bool startManual(TimedProgram& p, int minutes, std::string& failure) {
  if (!p.waitFor([&] { return levelListAndQuestion(p); }, 5)) {
    failure = "the first screen never showed";
    return false;
  }
  p.sendKeys("m");
  if (!p.waitForText("Enter starting level:", 5)) {
    failure = "manual mode did not ask for the starting level";
    return false;
  }
  p.pumpFor(0.1);
  p.sendKeys("1\r");
  p.pumpFor(0.2);
  p.sendKeys(std::to_string(minutes) + "\r");
  p.pumpFor(0.2);
  p.sendKeys("m");
  if (!p.waitForText("Press any key to start timer", 5)) {
    failure = "the start prompt never showed";
    return false;
  }
  p.pumpFor(0.1);
  p.sendKeys("g");
  if (!p.waitFor([&] { return captionShows(p, 1); }, 5)) {
    failure = "level 1 never started";
    return false;
  }
  return true;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

double potclockFirstScreen(TimedProgram& p) {
  if (!p.waitFor([&] { return levelListAndQuestion(p); }, 5)) return -1;
  return (p.lastOutputAt() - p.startedAt()) * 1e3;
}

double peerFirstScreen(TimedProgram& p) {
  double ms = -1;
  p.onFrame = [&](double end) {
    if (ms < 0) ms = (end - p.startedAt()) * 1e3;
  };
  p.waitFor([&] { return ms >= 0; }, 5);
  p.onFrame = nullptr;
  return ms;
}

double medianFirstScreen(double first, int starts, const std::vector<std::string>& argv,
                         double (*measure)(TimedProgram&), std::vector<double>& samples) {
  samples.push_back(first);
  for (int i = 1; i < starts; ++i) {
    TimedProgram p(argv);
    const double ms = measure(p);
    p.end();
    if (ms >= 0) samples.push_back(ms);
  }
  return median(samples);
}

Figures measurePotclock(const std::string& binary, double settle, double seconds) {
  Figures f;
  TimedProgram p({binary});
  f.firstScreenMs = potclockFirstScreen(p);
  if (f.firstScreenMs < 0) {
    f.failure = "the first screen never showed";
    return f;
  }
  if (!startManual(p, 20, f.failure)) return f;
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

Figures measurePotclockBreak(const std::string& binary, double settle, double seconds) {
  Figures f;
  const std::string file = benchStateHome() + "/break.toml";
  std::ofstream(file) << "name = \"Bench\"\nminutes = 20\n[[level]]\nbreak = 30\n"
                         "note = \"Colour up the 25s\"\n[[level]]\nblinds = [100, 200]\n";
  TimedProgram p({binary, "--structure", file});
  if (!p.waitForText("Press any key to start timer", 5)) {
    f.failure = "the start prompt never showed";
    return f;
  }
  p.pumpFor(0.1);
  p.sendKeys("g");
  if (!p.waitForText("B R E A K", 5)) {
    f.failure = "the break never started";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

Figures measurePotclockFilled(const std::string& binary, TermSize size, double settle,
                              double seconds) {
  Figures f;
  TimedProgram p({binary}, size);
  if (!startManual(p, 20, f.failure)) return f;
  p.sendKeys("\x1b\r");
  // Filled, the caption's letters stand apart.
  if (!p.waitFor([&] { return !captionShows(p, 1); }, 5)) {
    f.failure = "Alt-Enter did not fill the terminal";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

Figures measurePeer(const std::string& binary, double settle, double seconds, TermSize size) {
  Figures f;
  TimedProgram p({binary, "-s", "-c"}, size);
  f.firstScreenMs = peerFirstScreen(p);
  if (f.firstScreenMs < 0) {
    f.failure = "no first screen";
    return f;
  }
  measureWindow(p, settle, seconds, f);
  finish(p, f);
  return f;
}

void warmUp() {
  e2e::Emulator term(kScreenSize.rows, kScreenSize.cols);
  std::string text = "\x1b[?1049h\x1b[H\x1b[2J\x1b[97;44m";
  for (int r = 0; r < term.rows(); ++r) {
    text += "\x1b[" + std::to_string(r + 1) + ";1H";
    for (int c = 0; c < term.cols(); ++c) text += (c % 3 == 0) ? "\xe2\x96\x88" : "x";
  }
  term.play(text);
  for (int r = 0; r < term.rows(); ++r) {
    for (int c = 0; c < term.cols(); ++c) term.cell(r, c);
  }
}

Lateness measureLateness(const std::string& binary, int changes) {
  Lateness out;
  TimedProgram p({binary});
  if (!startManual(p, 1, out.failure)) return out;
  const double start = p.lastOutputAt();
  for (int k = 1; k <= changes; ++k) {
    if (!p.waitFor([&] { return captionShows(p, k + 1); }, 75)) {
      out.failure = "level " + std::to_string(k + 1) + " never started";
      return out;
    }
    out.late.push_back(p.lastOutputAt() - start - 60.0 * k);
    std::printf("  level %d caption after %.3f s: %+.3f s against %d s\n", k + 1,
                p.lastOutputAt() - start, out.late.back(), 60 * k);
    std::fflush(stdout);
  }
  out.hwmKiB = vmHwmKiB(p.pid());
  p.end();
  out.ok = true;
  return out;
}

}  // namespace bench
