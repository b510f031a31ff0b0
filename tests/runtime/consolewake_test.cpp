// A Linux console's blanking interval: switched off while the program runs,
// the one in force put back after.
#include "runtime/backends/consolewake.h"

#include <gtest/gtest.h>

namespace {

using krx::blankMinutes;
using krx::ConsoleWake;

TEST(ConsoleWakeTest, TheIntervalInForceComesBackInTheConsolesMinutes) {
  struct Case {
    std::optional<int> seconds;
    int minutes;
  };
  for (const Case c : {
           Case{0, 0},              // blanking was off: it stays off
           Case{600, 10},           // the kernel's setting is in seconds
           Case{30, 1},             // under a minute must not turn blanking off
           Case{61, 2},             // a part minute counts whole
           Case{3600, 60},          //
           Case{86400, 60},         // the console takes at most an hour
           Case{std::nullopt, 10},  // unreadable: the console's usual ten minutes
       }) {
    EXPECT_EQ(blankMinutes(c.seconds), c.minutes) << c.seconds.value_or(-1);
  }
}

TEST(ConsoleWakeTest, OnlyALinuxConsoleIsTouched) {
  for (const char* term : {"linux", "linux-16color"}) {
    const ConsoleWake wake = ConsoleWake::forTerminal(term);
    EXPECT_EQ(wake.enter, "\x1b[9;0]\x1b[14;0]") << term;
    EXPECT_TRUE(wake.leave.starts_with("\x1b[9;")) << term;
  }
  for (const char* term : {"xterm-256color", "screen", "vt100", "linuxish"}) {
    const ConsoleWake wake = ConsoleWake::forTerminal(term);
    EXPECT_TRUE(wake.enter.empty() && wake.leave.empty()) << term;
  }
}

}  // namespace
