// The computed schedule: from the chips in play, the finish time and the
// structure, the starting level and the minutes per level.
#pragma once

#include <string>

namespace potclock {

struct Schedule {
  int nLevel;       // the structure's first level: 1, 25 or 42
  double nMinutes;  // minutes per level, or the previous value when no level qualifies
};

// Divides the time from cNow to cHours ("HH:MM", the next day when earlier)
// evenly among the levels of structure cGame whose big blind is at most a
// tenth of nchips. IEEE double arithmetic in the order of the steps.
Schedule computeSchedule(double nchips, const std::string& cHours, const std::string& cGame,
                         const std::string& cNow, double nMinutes);

}  // namespace potclock
