#include <gtest/gtest.h>

#include "app/schedule.h"
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
  // The club's last level needs five million chips: 21 of 22 qualify here.
  EXPECT_EQ(computeSchedule(4999999, "22:00", "C", "20:00", 10).nMinutes, 120 / 21);
  EXPECT_EQ(computeSchedule(5000000, "22:00", "C", "20:00", 10).nMinutes, 120 / 22);
  // Any other letter is the club structure.
  EXPECT_EQ(computeSchedule(9999999, "22:00", "X", "20:00", 10).nLevel, 42);
}

}  // namespace
}  // namespace potclock
