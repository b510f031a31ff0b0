// The program's module-wide state (the clock, the read state, the setup's
// form list; the large font, should it ever keep anything) is one per
// runtime: a runtime made after another starts as a program that has just
// begun, whatever the first left.
#include <gtest/gtest.h>

#include <functional>

#include "app/screens/clock.h"
#include "bigtext/bigletters.h"
#include "forms/readstatus.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

TEST(ProgramState, ANewRuntimeStartsWithNoneOfTheLastOnesState) {
  struct Row {
    const char* what;
    std::function<void(TestRuntime&)> leave;
    std::function<void()> expectFresh;
  };
  const Row rows[] = {
      {"the clock",
       [](TestRuntime& t) {
         MYSECONDS(true);
         t.hl.advance(60);
         MYSECONDS(false);
       },
       [] {
         // No reset yet: the reading compares nil with a number.
         ErrorRecorder recorder;
         MYSECONDS(false);
         EXPECT_EQ(recorder.lastCode(), krx::EG_ARG);
       }},
      {"the read state",
       [](TestRuntime&) {
         krx::SETMOUSE(true);
         ReadStatusRef state = READSTATUS();
         state->save();
         state->thisPos = 2;
       },
       [] {
         // Made now, so it takes its use of events from the mouse setting now.
         krx::SETMOUSE(false);
         ReadStatusRef state = READSTATUS();
         EXPECT_FALSE(state->useAppEvent);
         EXPECT_EQ(state->thisPos, 0);
         EXPECT_TRUE(state->lastStatus->empty());
       }},
      {"the glyph table", [](TestRuntime&) { BIGLETTERS("A", 1); },
       [] { EXPECT_EQ(krx::cp437ToUtf8(BIGLETTERS("AB", 1)), "▒▒▒▒▒▒▄ ▒▒▒▒▒▄ "); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    {
      TestRuntime first;
      row.leave(first);
    }
    TestRuntime second;
    row.expectFresh();
  }
}

}  // namespace
}  // namespace potclock
