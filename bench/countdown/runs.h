// The measured runs: potclock and its peer left counting down in a
// pseudo-terminal, each window of steady running turned into figures, and
// potclock's changes of level timed against the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "countdown/cost_model.h"
#include "countdown/timed_program.h"

namespace bench {

// One program's steady running.
struct Figures {
  bool ok = false;
  std::string failure;
  double firstScreenMs = 0;
  double window = 0;  // seconds
  std::uint64_t windowBytes = 0;
  double cpuMs = 0;  // in the window
  double hwmKiB = 0;
  double lifeCpuMs = 0;
  long maxRssKiB = 0;
  std::size_t floorBytes = 0;
  std::vector<std::size_t> frameBytes;
  std::vector<std::string> frames;                     // the window's redraws
  std::vector<std::pair<std::string, long>> resident;  // at the window's end
  std::vector<double> firstScreens;                    // ms, every start
  Breakdown kinds;
  std::string capture;

  double bytesPerSecond() const { return static_cast<double>(windowBytes) / window; }
  double cpuMsPerMinute() const { return cpuMs * 60.0 / window; }
  double floorPerSecond() const { return static_cast<double>(floorBytes) / window; }
};

// potclock from its start, through the setup dialogue (manual mode, level
// 1, 20 minutes a level, minutes), counting down.
Figures measurePotclock(const std::string& binary, double settle, double seconds);
// potclock counting down a break of an organiser's own structure: the large
// BREAK and its note stand still, the countdown and the time of day move.
Figures measurePotclockBreak(const std::string& binary, double settle, double seconds);
// potclock in a terminal of `size`, filled out to it with Alt-Enter once its
// timer runs.
Figures measurePotclockFilled(const std::string& binary, TermSize size, double settle,
                              double seconds);
// The peer clock, `-s -c`.
Figures measurePeer(const std::string& binary, double settle, double seconds,
                    TermSize size = kScreenSize);

// Milliseconds from the start of `p` to its first complete screen, or
// negative on a time-out: for potclock, the level list and the first question
// on the emulated screen; for the peer, its output up to the first pause.
double potclockFirstScreen(TimedProgram& p);
double peerFirstScreen(TimedProgram& p);
// The median over `starts` starts, the first being `first` (already taken),
// so that one start delayed by the rest of the machine does not decide it.
double medianFirstScreen(double first, int starts, const std::vector<std::string>& argv,
                         double (*measure)(TimedProgram&), std::vector<double>& samples);

// Level changes against the clock.
struct Lateness {
  bool ok = false;
  std::string failure;
  std::vector<double> late;  // seconds, for levels 2, 3, ...
  double hwmKiB = 0;         // peak resident memory, chimes included
};

// `changes` changes of 1-minute levels, each timed against the start of
// the first level.
Lateness measureLateness(const std::string& binary, int changes);

// Runs the emulator once over a screenful of text and colour, so that the
// first program timed does not pay for this program's own first use of it.
void warmUp();

}  // namespace bench
