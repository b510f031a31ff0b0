#include "app/game/schedule.h"

#include "app/game/levels.h"
#include "runtime/lang/strings.h"

namespace potclock {

Schedule computeSchedule(double nchips, const std::string& cHours, const std::string& cGame,
                         const std::string& cNow, double nMinutes) {
  using krx::INT;
  using krx::SUBSTR;
  using krx::VAL;
  // The order of operations is part of the result: 21:17 to 01:00 must give
  // 222 minutes, not 223.
  double nDiff = (VAL(SUBSTR(cHours, 4, 2)) - VAL(SUBSTR(cNow, 4, 2))) / 60;
  nDiff = nDiff + (VAL(SUBSTR(cHours, 1, 2)) - VAL(SUBSTR(cNow, 1, 2)));
  nDiff = nDiff + (nDiff < 0 ? 24 : 0);

  const BuiltInStructure& s = cGame == "A"   ? kStructures[0]
                              : cGame == "B" ? kStructures[1]
                                             : kStructures[2];
  std::size_t nCount = 1;
  while (nCount <= s.bigBlinds.size() && s.bigBlinds[nCount - 1] <= nchips / 10) {
    nMinutes = INT(nDiff * 60 / static_cast<double>(nCount));
    ++nCount;
  }
  return {s.firstLevel, nMinutes};
}

std::optional<int> timeOfDay(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3)
    return std::nullopt;
  int hour = 0, minute = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == colon) continue;
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    int& part = i < colon ? hour : minute;
    part = part * 10 + (text[i] - '0');
  }
  if (hour > 23 || minute > 59) return std::nullopt;
  return hour * 60 + minute;
}

std::time_t nextTimeOfDay(int minuteOfDay, std::time_t now) {
  std::tm day{};
  localtime_r(&now, &day);
  for (int days = 0; days < 3; ++days) {
    std::tm at = day;
    at.tm_mday += days;
    at.tm_hour = minuteOfDay / 60;
    at.tm_min = minuteOfDay % 60;
    at.tm_sec = 0;
    at.tm_isdst = -1;  // whichever is in force on that day
    const std::time_t t = std::mktime(&at);
    if (t >= now) return t;
  }
  return now;
}

}  // namespace potclock
