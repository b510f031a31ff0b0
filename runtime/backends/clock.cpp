#include "runtime/backends/clock.h"

#include <time.h>

#include <algorithm>

namespace krx {

double bootClock() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void sleepUntil(double until) {
  // Relative sleeps in slices, each checked against the boot clock: the
  // slices themselves may be measured on another clock, the end is not.
  for (;;) {
    const double left = until - bootClock();
    if (left <= 0) return;
    const double slice = std::min(left, 1.0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(slice);
    ts.tv_nsec = static_cast<long>((slice - static_cast<double>(ts.tv_sec)) * 1e9);
    nanosleep(&ts, nullptr);  // a signal cuts it short; the loop goes on
  }
}

}  // namespace krx
