// A director at another terminal of the machine, on the real program: what
// `potclock tell` changes shows on the clock and on a display, a game no
// clock runs is never touched, and a planned start begins by itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

namespace {

namespace fs = std::filesystem;
using e2e::CountdownReader;
using e2e::kWait;
using e2e::Ran;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;
using e2e::waitBig;

constexpr const char* kStructure = R"(name = "Friday"
minutes = 20

[[level]]
blinds = [25, 50]

[[level]]
blinds = [100, 200]
)";

fs::path writeStructure(const StateHome& home) {
  const fs::path file = home.dir() / "friday.toml";
  std::ofstream(file) << kStructure;
  return file;
}

Ran tell(const StateHome& home, std::vector<std::string> words) {
  words.insert(words.begin(), "tell");
  return e2e::runPlain(std::move(words), {home.env()});
}

TEST(DirectorE2E, WhatIsToldShowsOnTheClockAndItsDisplay) {
  StateHome home;
  const fs::path file = writeStructure(home);
  VtermPty clock(e2e::potclockIn(home, {"--quiet", "--structure", file.string()}));
  ASSERT_TRUE(shows(clock, "Press any key to start timer "));
  clock.sendKeys("s");
  VtermPty display(e2e::potclockIn(home, {"--quiet", "--watch"}));
  ASSERT_TRUE(waitBig(display, 6, "  25 / 50"));

  const Ran more = tell(home, {"time", "+1m"});
  EXPECT_EQ(more.status, 0) << more.err;
  EXPECT_TRUE(more.out.starts_with("level 1 has 2") && more.out.ends_with("left (+1:00)\n"))
      << more.out;
  // The minute shows on both screens: 21 minutes less the seconds since.
  const CountdownReader countdown(1200, 1260);
  for (VtermPty* screen : {&clock, &display}) {
    std::optional<int> shown = countdown.read(*screen);
    for (int i = 0; i < 3 && (!shown || *shown <= 1240); ++i)
      shown = countdown.waitChange(*screen, shown);
    ASSERT_TRUE(shown.has_value()) << screen->screenText();
    EXPECT_GT(*shown, 1240);
  }

  const Ran jump = tell(home, {"level", "2"});
  EXPECT_EQ(jump.status, 0) << jump.err;
  EXPECT_EQ(jump.out, "level 2 begins: 100/200, 20 minutes\n");
  EXPECT_TRUE(waitBig(clock, 6, "  100/200"));
  EXPECT_TRUE(waitBig(display, 6, "  100/200"));

  // Refused with the reason and status 1: out of range, another game.
  const Ran beyond = tell(home, {"level", "9"});
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.err, "potclock: this structure has levels 1 to 2\n");
  const Ran other = tell(home, {"--game", "satellite", "pause"});
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(other.err, "potclock: no potclock runs this game on this machine (game satellite)\n");
  // Words that are no command are refused before anything is sent.
  EXPECT_EQ(tell(home, {"time", "soon"}).status, 2);

  e2e::quitWithYes(clock);
  const int status = clock.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const Ran after = tell(home, {"pause"});
  EXPECT_EQ(after.status, 1);
  EXPECT_EQ(after.err, "potclock: no potclock runs this game on this machine\n");
}

TEST(DirectorE2E, APlannedStartBeginsTheFirstLevelByItself) {
  StateHome home;
  const fs::path file = writeStructure(home);
  // The next whole minute, or the one after when it is too near to see the
  // count down.
  std::time_t now = std::time(nullptr);
  std::time_t at = now - now % 60 + 60;
  if (at - now < 5) at += 60;
  std::tm local{};
  localtime_r(&at, &local);
  char hhmm[8];
  std::strftime(hhmm, sizeof hhmm, "%H:%M", &local);

  VtermPty clock(e2e::potclockIn(home, {"--quiet", "--start", hhmm, "--structure", file.string()}));
  ASSERT_TRUE(shows(clock, "T H E   G A M E   S T A R T S   I N"));
  VtermPty display(e2e::potclockIn(home, {"--quiet", "--watch"}));
  ASSERT_TRUE(shows(display, "T H E   G A M E   S T A R T S   I N"));
  const CountdownReader untilStart(1, 125);
  const auto first = untilStart.read(clock);
  ASSERT_TRUE(first.has_value()) << clock.screenText();
  EXPECT_NEAR(*first, static_cast<double>(at - std::time(nullptr)), 2);

  const double wait = static_cast<double>(at - std::time(nullptr)) + kWait;
  EXPECT_TRUE(shows(clock, "T I M E    R E M A I N I N G", wait));
  EXPECT_TRUE(shows(display, "T I M E    R E M A I N I N G", kWait));
  // It began at that minute: the whole level, less the moments since.
  const auto begun = CountdownReader(1190, 1200).read(clock);
  ASSERT_TRUE(begun.has_value()) << clock.screenText();
  EXPECT_GE(*begun, 1195);
}

constexpr const char* kCounted = R"(name = "Friday"
hands = 8

[tournament]
chips = 1000
buy-in = 10
rebuy = [1000, 10]
add-on = [2000, 5]
entries = 10

[[level]]
blinds = [25, 50]

[[level]]
blinds = [100, 200]
)";

// Where the screen reads `text`, waited for.
void allShow(std::vector<VtermPty*> screens, const std::string& text) {
  for (VtermPty* screen : screens) EXPECT_TRUE(shows(*screen, text)) << screen->screenText();
}

TEST(DirectorE2E, TheCountToldFromAnotherTerminalShowsEverywhereAndOutlivesAKill) {
  StateHome home;
  const fs::path file = home.dir() / "counted.toml";
  std::ofstream(file) << kCounted;
  {
    VtermPty clock(e2e::potclockIn(home, {"--quiet", "--structure", file.string()}));
    ASSERT_TRUE(waitBig(clock, 15, " HAND: 1/8"));
    VtermPty display(e2e::potclockIn(home, {"--quiet", "--watch"}));
    allShow({&clock, &display}, "Players 10/10");

    // Hands mode: told, not keyed, so no hand is counted.
    const Ran bust = tell(home, {"bust"});
    EXPECT_EQ(bust.status, 0) << bust.err;
    EXPECT_TRUE(bust.out.starts_with("players 9 of 10, average 1,111")) << bust.out;
    allShow({&clock, &display}, "Players 9/10");
    for (const char* more : {"entry", "rebuy", "addon"}) EXPECT_EQ(tell(home, {more}).status, 0);
    // 11 entries, a rebuy and an add-on: 125 in the pool, 14,000 chips in play.
    allShow({&clock, &display}, "Players 10/11   Avg 1,400");
    allShow({&clock, &display}, "Pool 125");
    EXPECT_TRUE(waitBig(clock, 15, " HAND: 1/8"));
    const Ran tooMany = tell(home, {"players", "12"});
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_EQ(tooMany.err, "potclock: players must be 1 to 11, the entries\n");
    clock.kill(SIGKILL);
    clock.waitExit(kWait);
  }
  VtermPty resumed(e2e::potclockIn(home, {"--quiet", "--resume"}));
  EXPECT_TRUE(shows(resumed, "Players 10/11   Avg 1,400"));
  EXPECT_TRUE(shows(resumed, "Pool 125"));
}

TEST(DirectorE2E, TheLastMinuteChangesTheCountdownsColourWithATone) {
  StateHome home;
  const fs::path file = home.dir() / "minutes.toml";
  std::string text = kCounted;
  text.replace(text.find("hands = 8"), 9, "minutes = 20");
  std::ofstream(file) << text;
  VtermPty clock(e2e::potclockIn(home, {"--structure", file.string()}));
  ASSERT_TRUE(shows(clock, "Press any key to start timer "));
  clock.sendKeys("s");
  const CountdownReader countdown(50, 70);
  ASSERT_EQ(tell(home, {"time", "1:03"}).status, 0);
  ASSERT_TRUE(countdown.waitChange(clock, std::nullopt).has_value()) << clock.screenText();
  // The first lit cell of the large countdown, in the colour of its moment.
  const auto colour = [&] {
    for (int col = 0; col < 80; ++col)
      if (clock.cellText(15, col) != " ") return clock.foreground(15, col);
    return e2e::Emulator::Colour{};
  };
  const auto before = colour();
  const int bells = clock.bells();
  std::optional<int> shown = countdown.read(clock);
  for (int i = 0; i < 5 && shown && *shown > 60; ++i) shown = countdown.waitChange(clock, shown);
  ASSERT_TRUE(shown.has_value());
  EXPECT_LE(*shown, 60);
  EXPECT_NE(colour(), before);
  if (!e2e::haveSoundDevice()) {
    // The tone follows the figure that shows the minute.
    EXPECT_TRUE(clock.waitUntil([&] { return clock.bells() > bells; }, kWait));
    EXPECT_EQ(clock.bells() - bells, 1);
  }
}

}  // namespace
