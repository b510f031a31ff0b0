#include <gtest/gtest.h>

#include "app/screens/clock.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

TEST(Clock, CountsOnOverMidnight) {
  TestRuntime t(krx::LocalTime{2026, 12, 7, 23, 59, 0});
  double reset = MYSECONDS(true);
  EXPECT_DOUBLE_EQ(reset, 23 * 3600 + 59 * 60);
  t.hl.advance(120);  // 00:01:00
  double after = MYSECONDS(false);
  EXPECT_DOUBLE_EQ(after, 60 + 86400);
  EXPECT_DOUBLE_EQ(after - reset, 120);
  t.hl.advance(3600);  // the same day keeps the day added
  EXPECT_DOUBLE_EQ(MYSECONDS(false), 3660 + 86400);
  // A reset after midnight reads plain seconds again.
  EXPECT_DOUBLE_EQ(MYSECONDS(true), 3660);
}

TEST(Clock, SystemClockStepsDoNotMoveIt) {
  TestRuntime t(krx::LocalTime{2026, 12, 7, 20, 0, 0});
  double start = MYSECONDS(true);
  t.hl.stepWallClock(-3600);  // clocks go back an hour
  t.hl.advance(10);
  EXPECT_DOUBLE_EQ(MYSECONDS(false) - start, 10);
  t.hl.stepWallClock(+7200);
  t.hl.advance(10);
  EXPECT_DOUBLE_EQ(MYSECONDS(false) - start, 20);
}

TEST(Clock, ASecondMidnightAddsAnotherDay) {
  TestRuntime t(krx::LocalTime{2026, 12, 7, 23, 0, 0});
  double start = MYSECONDS(true);
  for (int hour = 1; hour <= 30; ++hour) {
    t.hl.advance(3600);
    EXPECT_DOUBLE_EQ(MYSECONDS(false) - start, hour * 3600.0) << "after " << hour << " hours";
  }
}

TEST(Clock, ReadingBeforeAnyResetRaises) {
  {
    TestRuntime t;
    int raised = 0;
    krx::ERRORBLOCK(krx::Item(krx::makeBlock("{|e| .F.}", [&](std::span<const krx::Item> a) {
      auto e = a[0].as<krx::Error>();
      EXPECT_EQ(e->genCode.numOr(0), krx::EG_ARG);
      EXPECT_EQ(e->operation.strOr(""), ">");
      ++raised;
      return krx::Item(false);
    })));
    MYSECONDS(false);
    EXPECT_EQ(raised, 1);
  }
  // Without a handler the program ends (exit code 1) instead.
  TestRuntime t;
  krx::ERRORBLOCK(krx::Item());
  EXPECT_THROW(MYSECONDS(false), krx::QuitSignal);
  EXPECT_EQ(krx::ERRORLEVEL(), 1);
}

}  // namespace
}  // namespace potclock
