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

}  // namespace potclock
