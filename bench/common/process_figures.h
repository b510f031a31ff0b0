// What a running program costs, read from /proc.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

// Processor time of every thread of `pid` so far, in nanoseconds, from the
// scheduler's count (the tick-based utime/stime are too coarse for a program
// that runs a few milliseconds a minute). Negative when it cannot be read.
double cpuNs(pid_t pid);

// Peak resident set of `pid` in KiB, or negative.
double vmHwmKiB(pid_t pid);

// A field of /proc/PID/FILE ("Private_Dirty:   124 kB" of smaps_rollup,
// "VmHWM:" of status), in KiB; negative when there is none.
long procKiB(pid_t pid, const std::string& file, const std::string& field);

// Resident memory of `pid` by what is mapped (a file's name, [heap],
// [stack], or "anonymous"), largest first, in KiB.
std::vector<std::pair<std::string, long>> residentByMapping(pid_t pid);

}  // namespace bench
