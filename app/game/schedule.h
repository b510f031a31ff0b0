// The computed schedule: from the chips in play, the finish time and the
// structure, the starting level and the minutes per level.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

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

// A time of day as "HH:MM" (or "H:MM"), in minutes after midnight; nothing
// for any other text.
std::optional<int> timeOfDay(std::string_view text);

// The next moment at or after `now` whose local time is `minuteOfDay`,
// at its first second: today's, or tomorrow's once today's has passed.
std::time_t nextTimeOfDay(int minuteOfDay, std::time_t now);

}  // namespace potclock
