#include <gtest/gtest.h>

#include "app/game/schedule.h"
#include "support/level_table.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

TEST(Schedule, DividesTheTimeLeftAmongQualifyingLevels) {
  TestRuntime t;
  // 100 chips: big blinds 2, 4, 6 and 10 qualify; 130 minutes / 4.
  Schedule s = computeSchedule(100, "22:10", "A", "20:00", 10);
  EXPECT_EQ(s.nLevel, 1);
  EXPECT_EQ(s.nMinutes, 32);
  // Equal to ten times a big blind qualifies that level.
  EXPECT_EQ(computeSchedule(20, "21:00", "A", "20:00", 10).nMinutes, 60);
  EXPECT_EQ(computeSchedule(40, "21:00", "A", "20:00", 10).nMinutes, 30);
}

TEST(Schedule, RoundingOfTheIntermediateResultsShows) {
  TestRuntime t;
  // 3.716666666666665 hours; times 60 is 222.9999999999999.
  EXPECT_EQ(computeSchedule(20, "01:00", "A", "21:17", 10).nMinutes, 222);
  EXPECT_EQ(computeSchedule(20, "00:00", "A", "23:59", 10).nMinutes, 0);
  EXPECT_EQ(computeSchedule(20, "20:00", "A", "20:00", 10).nMinutes, 0);
  // Earlier in the day means the next day: 23 hours.
  EXPECT_EQ(computeSchedule(20, "19:00", "A", "20:00", 10).nMinutes, 23 * 60);
}

TEST(Schedule, FinishTimesAsTheyAreTyped) {
  TestRuntime t;
  // A blank-led hour reads as 9:15.
  EXPECT_EQ(computeSchedule(20, " 9:15", "A", "08:00", 10).nMinutes, 75);
  // Not validated: 99 hours and 99 minutes, from 20:00 that is 80h39m.
  EXPECT_EQ(computeSchedule(20, "99:99", "A", "20:00", 10).nMinutes, 80 * 60 + 39);
}

TEST(Schedule, NoQualifyingLevelKeepsTheMinutes) {
  TestRuntime t;
  for (double chips : {0.0, -50.0, 19.0}) {
    Schedule s = computeSchedule(chips, "22:00", "A", "20:00", 10);
    EXPECT_EQ(s.nLevel, 1);
    EXPECT_EQ(s.nMinutes, 10);
  }
  Schedule c = computeSchedule(199, "22:00", "C", "20:00", 10);
  EXPECT_EQ(c.nLevel, 42);
  EXPECT_EQ(c.nMinutes, 10);
}

TEST(Schedule, StructuresAndLargeChipCounts) {
  TestRuntime t;
  // All 16 fast levels qualify with 9999999 chips: 120 / 16.
  Schedule b = computeSchedule(9999999, "22:00", "B", "20:00", 10);
  EXPECT_EQ(b.nLevel, 25);
  EXPECT_EQ(b.nMinutes, 7);
  // The club's last level needs five million chips: 21 of 22 qualify below
  // that, so ten hours give 600 / 21 and then 600 / 22 minutes.
  EXPECT_EQ(computeSchedule(4999999, "18:00", "C", "08:00", 10).nMinutes, 28);
  EXPECT_EQ(computeSchedule(5000000, "18:00", "C", "08:00", 10).nMinutes, 27);
  // Any other letter is the club structure.
  EXPECT_EQ(computeSchedule(9999999, "22:00", "X", "20:00", 10).nLevel, 42);
}

// Ten hours (08:00 to 18:00) shared among k levels, k = 1 to 23, truncated:
// 600 / k worked out by hand. No two neighbours are equal, so one level more
// or less always shows.
constexpr int kTenHoursAmong[] = {600, 300, 200, 150, 120, 100, 85, 75, 66, 60, 54, 50,
                                  46,  42,  40,  37,  35,  33,  31, 30, 28, 27, 26};

TEST(Schedule, EveryLevelQualifiesAtTenTimesItsBigBlind) {
  TestRuntime t;
  for (const expected::StructureLevels& s : expected::kStructureLevels) {
    const std::string game(1, s.letter);
    for (int n = s.first; n <= s.last; ++n) {
      const int k = n - s.first + 1;  // the levels up to and including this one
      const double chips = 10.0 * static_cast<double>(expected::level(n).bigBlind);
      SCOPED_TRACE("structure " + game + ", level " + std::to_string(n) + ", " +
                   std::to_string(static_cast<long>(chips)) + " chips");
      Schedule at = computeSchedule(chips, "18:00", game, "08:00", 10);
      EXPECT_EQ(at.nLevel, s.first);
      EXPECT_EQ(at.nMinutes, kTenHoursAmong[k - 1]);
      // One chip less and this level no longer qualifies.
      Schedule below = computeSchedule(chips - 1, "18:00", game, "08:00", 10);
      EXPECT_EQ(below.nMinutes, k == 1 ? 10 : kTenHoursAmong[k - 2]);
    }
  }
}

TEST(Schedule, TheOrderOfTheStepsShowsInTheAnswer) {
  TestRuntime t;
  struct Case {
    const char* now;
    const char* finish;
    double chips;  // structure A: 20, 60, 140, 300 chips make 1, 3, 5, 7 levels
    double minutes;
  };
  const Case cases[] = {
      // 24/60 = 0.4, plus 2 is 2.4, times 60 is 144, over 3 is 48 (hours
      // over 3 first, 0.7999999999999999, would give 47).
      {"00:00", "02:24", 60, 48},
      // 40/60 = 0.6666666666666666, plus 1 is 1.6666666666666665, times 60 is
      // 99.99999999999999: 99 minutes for 1:40, and 19 each among 5 levels.
      {"00:00", "01:40", 20, 99},
      {"00:00", "01:40", 140, 19},
      // The same 100 minutes across midnight: -20/60 - 22 + 24 is
      // 1.6666666666666679, times 60 is 100.00000000000007.
      {"22:30", "00:10", 20, 100},
      // 3/60 = 0.05, plus 2 is 2.05, times 60 is 122.99999999999999, over 3
      // is 40.99999999999999: 40, not 41.
      {"00:00", "02:03", 60, 40},
      // 17/60 + 1 is 1.2833333333333332, times 60 is exactly 77, over 7 is
      // 11 (times 60/7 instead would give 10.999999999999998).
      {"00:00", "01:17", 300, 11},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(computeSchedule(c.chips, c.finish, "A", c.now, 10).nMinutes, c.minutes)
        << c.now << " to " << c.finish << " with " << c.chips << " chips";
  }
}

}  // namespace
}  // namespace potclock
