// Displays that follow a clock (potclock --watch) on the real program: a
// clock and two displays of different sizes, each in its own pseudo-terminal,
// and what the room sees on the displays as the organiser steers the clock.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

namespace {

namespace fs = std::filesystem;
using e2e::CountdownReader;
using e2e::kCaption;
using e2e::kWait;
using e2e::Origin;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;
using e2e::waitBig;

const std::string kWaiting = "W A I T I N G   F O R   T H E   G A M E";
const std::string kHint = "A display of the game (potclock --watch): Escape or q leaves it";
const std::string kHandHeading = "P R E S S   A   K E Y   F O R   N E X T   H A N D";

// A display, and where the program's 80x25 screen sits in its terminal.
struct Display {
  VtermPty term;
  Origin at;
};

e2e::Launch watchIn(const StateHome& home, int rows, int cols, std::vector<std::string> args = {}) {
  args.insert(args.begin(), "--watch");
  e2e::Launch launch = e2e::potclockIn(home, std::move(args));
  launch.rows = rows;
  launch.cols = cols;
  return launch;
}

// Every display shows `text` (anywhere), or large `big` at row `top`.
void allShow(std::vector<Display*> displays, const std::string& text) {
  for (Display* d : displays) EXPECT_TRUE(shows(d->term, text)) << d->term.screenText();
}
void allShowBig(std::vector<Display*> displays, int top, const std::string& big) {
  for (Display* d : displays) EXPECT_TRUE(waitBig(d->term, top, big, kWait, d->at));
}

void leaves(VtermPty& term, const std::string& key) {
  term.sendKeys(key);
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(term.restored());
}

TEST(WatchE2E, TwoDisplaysFollowSkipPauseResumeHandsLevelsAndTheEnd) {
  StateHome home;
  Display small{VtermPty(watchIn(home, 25, 80)), {}};
  Display large{VtermPty(watchIn(home, 50, 160, {"--quiet"})), {12, 40}};
  VtermPty otherGame(watchIn(home, 25, 80, {"--game", "satellite"}));
  const std::vector<Display*> both{&small, &large};
  // Started before the game: they wait for it.
  allShow(both, kWaiting);
  allShow(both, kHint);

  const CountdownReader countdown(90, 120);
  {
    VtermPty clock(e2e::potclockIn(home));
    e2e::answerManual(clock, "42", "2", 'M');
    ASSERT_TRUE(shows(clock, "Press any key to start timer "));
    clock.sendKeys("s");
    allShow(both, kCaption + " 1-Club)");
    allShowBig(both, 6, "  10 / 20");
    // The same time left as the clock, to the second (a tick may fall
    // between the two looks).
    const auto onClock = countdown.waitChange(clock, std::nullopt);
    const auto onDisplay = countdown.waitChange(small.term, std::nullopt);
    ASSERT_TRUE(onClock && onDisplay) << small.term.screenText();
    EXPECT_LE(std::abs(*onClock - *onDisplay), 1);
    EXPECT_EQ(e2e::screenRow(small.term, 23).find(kHint), 1u);
    EXPECT_TRUE(shows(otherGame, "No game named satellite is running on this machine."));

    clock.sendKeys("+");
    allShow(both, kCaption + " 2-Club)");
    clock.sendKeys(" ");
    allShowBig(both, 10, "  PAUSED");
    // Keys other than Escape and q do nothing on a display.
    small.term.sendKeys("+- x\r");
    clock.sendKeys("r");
    for (Display* d : both)
      EXPECT_TRUE(
          d->term.waitUntil([&] { return !waitBig(d->term, 10, "  PAUSED", 0, d->at); }, kWait));
    allShow(both, kCaption + " 2-Club)");
    e2e::quitWithYes(clock);
  }
  // The game is over: back to waiting, and a hands game is picked up.
  allShow(both, kWaiting);
  {
    VtermPty clock(e2e::potclockIn(home));
    e2e::answerManual(clock, "42", "2", 'H');
    allShow(both, kHandHeading);
    allShowBig(both, 15, " HAND: 1/2");
    e2e::keyInHandWait(clock, "h");
    allShowBig(both, 15, " HAND: 2/2");
    // The last hand ends the level: the next one, from its first hand.
    e2e::keyInHandWait(clock, "h");
    allShow(both, kCaption + " 2-Club)");
    allShowBig(both, 15, " HAND: 1/2");
    e2e::quitWithYes(clock);
  }
  allShow(both, kWaiting);
  leaves(small.term, "q");
  leaves(large.term, "\x1b");
  leaves(otherGame, "Q");
}

TEST(WatchE2E, ADisplayShowsAStructureGameOfItsNameAndWritesNothing) {
  StateHome home;
  const fs::path structure = home.dir() / "friday.toml";
  std::ofstream(structure) << "name = \"Friday deep stack\"\nminutes = 20\n\n"
                              "[[level]]\nblinds = [100, 200]\nante = 25\n\n"
                              "[[level]]\nbreak = 10\n";
  VtermPty display(watchIn(home, 25, 80, {"--game", "friday"}));
  ASSERT_TRUE(shows(display, "No game named friday is running on this machine."));
  EXPECT_FALSE(fs::exists(home.dir() / "potclock"));  // a display makes nothing

  VtermPty clock(e2e::potclockIn(home, {"--game", "friday", "--structure", structure.string()}));
  ASSERT_TRUE(shows(clock, "Press any key to start timer "));
  clock.sendKeys("s");
  EXPECT_TRUE(shows(display, "Friday deep stack"));
  EXPECT_TRUE(shows(display, kCaption + " 1)   Ante: 25"));
  EXPECT_TRUE(shows(display, "N E X T   L E V E L   =  break of 10 minutes"));
  clock.sendKeys("+");
  EXPECT_TRUE(waitBig(display, 6, "  BREAK"));
  EXPECT_TRUE(shows(display, "T I M E    R E M A I N I N G   I N   T H I S    B R E A K"));
  e2e::quitWithYes(clock);
  EXPECT_TRUE(shows(display, "No game named friday is running on this machine."));
  leaves(display, "q");
}

}  // namespace
