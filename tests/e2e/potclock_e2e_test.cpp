// potclock as an organiser meets it: the real program in a pseudo-terminal,
// answered key by key, its screen read back through a terminal emulator.
// Large text is compared with the glyphs' pictures, so these tests read the
// blinds and the clock the way a player would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"
#include "runtime/console/screen.h"
#include "support/countdown_text.h"
#include "support/glyph_pictures.h"

namespace {

using e2e::answerManual;
using e2e::cells;
using e2e::CountdownReader;
using e2e::fieldText;
using e2e::haveSoundDevice;
using e2e::kCaption;
using e2e::keyInHandWait;
using e2e::kNextLevel;
using e2e::kWait;
using e2e::Launch;
using e2e::Origin;
using e2e::screenRow;
using e2e::settle;
using e2e::shows;
using e2e::showsTimeOfDay;
using e2e::VtermPty;
using e2e::waitBig;

const std::string kHandHeading =
    "             P R E S S   A   K E Y   F O R   N E X T   H A N D             ";
const std::string kTimeHeading = "T I M E    R E M A I N I N G   F O R   T H I S    L E V E L";
const std::string kMinutesHints =
    "Press: Alt-Enter=size, +/- to skip levels, Space to pause, Escape to quit";

Launch potclock(int rows = 25, int cols = 80) {
  Launch launch;
  launch.argv = {POTCLOCK_BIN};
  launch.rows = rows;
  launch.cols = cols;
  return launch;
}

VtermPty::Colour palette(int index) {
  return VtermPty::Colour{false, index};
}

// `text` (plain ASCII) stands at (row, col) of the program's screen.
::testing::AssertionResult hasAt(const VtermPty& term, int row, int col, std::string_view text,
                                 Origin at = {}) {
  const std::string there = cells(term, at.top + row, at.left + col, static_cast<int>(text.size()));
  if (there == text) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "at (" << row << ", " << col << ") \"" << there << "\", not \"" << text
         << "\"; the row is \"" << screenRow(term, row, at) << "\"";
}

// Whole seconds since `since`, rounded up: a countdown read after it may be
// down by that much, and by one more for its rounding, however slowly the
// test has been reading.
int secondsSince(std::chrono::steady_clock::time_point since) {
  const std::chrono::duration<double> passed = std::chrono::steady_clock::now() - since;
  return static_cast<int>(std::ceil(passed.count()));
}

std::unique_ptr<VtermPty> launchInterruptible(const Launch& launch) {
  return std::make_unique<VtermPty>(launch);
}

// The program has ended with `code` and handed the terminal back as it found
// it, with nothing of its screens left on the primary one.
void expectEndedRestored(VtermPty& term, int code) {
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << term.screenText();
  EXPECT_EQ(WEXITSTATUS(status), code);
  EXPECT_TRUE(term.restored()) << "alt " << term.altScreen() << " cursor " << term.cursorVisible()
                               << " pen " << term.penIsDefault() << "; sent:" << term.leftUndone();
  EXPECT_EQ(term.screenText().find("L E V E L"), std::string::npos) << term.screenText();
  EXPECT_EQ(term.screenText().find("Select:"), std::string::npos) << term.screenText();
}

TEST(PotclockE2E, StartScreenCentredInAnyTerminalAndEscapeEnds) {
  struct Size {
    int rows, cols;
    Origin at;
  };
  for (const Size size : {Size{25, 80, {0, 0}}, Size{31, 100, {3, 10}}}) {
    SCOPED_TRACE(std::to_string(size.cols) + "x" + std::to_string(size.rows));
    VtermPty term(potclock(size.rows, size.cols));
    ASSERT_TRUE(shows(term, "Select: C(omputed or m(anual (c/m): "));
    EXPECT_TRUE(term.altScreen());
    const Origin at = size.at;
    EXPECT_TRUE(hasAt(term, 4, 0, " The program can compute the required time between", at));
    EXPECT_TRUE(hasAt(term, 5, 0, " blind levels, or you may enter the starting level", at));
    EXPECT_TRUE(hasAt(term, 6, 0, " and minutes between levels manually.", at));
    EXPECT_TRUE(hasAt(term, 8, 0, " Select: C(omputed or m(anual (c/m):  C", at));
    // The level list: headings at column 1, entries at 4, 23, 42 and 61.
    EXPECT_TRUE(hasAt(term, 12, 0, " A - Home game blinds...", at));
    EXPECT_TRUE(hasAt(term, 13, 4, " 1 =    1 / 2", at));
    EXPECT_TRUE(hasAt(term, 13, 61, " 4 =    5 / 10", at));
    EXPECT_TRUE(hasAt(term, 15, 61, "12 =   100/200", at));
    EXPECT_TRUE(hasAt(term, 16, 0, " B - Fast blinds...", at));
    EXPECT_TRUE(hasAt(term, 17, 4, "25 =    1 / 2", at));
    EXPECT_TRUE(hasAt(term, 20, 0, " C - Zizoza Duru blinds...", at));
    EXPECT_TRUE(hasAt(term, 23, 61, "53 =  800/1600", at));
    // Green on blue for the text; the edit field stands out.
    EXPECT_EQ(term.foreground(at.top + 4, at.left + 1), palette(10));
    EXPECT_EQ(term.background(at.top + 4, at.left + 1), palette(4));
    EXPECT_NE(term.background(at.top + 8, at.left + 38), palette(4));
    if (at.left > 0) {
      // Nothing of the program outside its 80x25.
      EXPECT_EQ(cells(term, at.top + 8, 0, at.left), std::string(at.left, ' '));
      EXPECT_EQ(term.rowText(0), std::string(size.cols, ' '));
    }

    term.sendKeys("\x1b");
    expectEndedRestored(term, 0);
  }
}

// Started in a window too small for it: a key typed while the notice asks
// for a larger one answers nothing unseen ("m" would choose manual mode),
// Ctrl-C still ends the program, and however it ends, the shell's screen
// comes back as it was, with nothing of the dialogue on it.
TEST(PotclockE2E, AWindowTooSmallTakesNoKeysAndLeavesTheShellsScreenAsItWas) {
  struct Case {
    const char* why;
    bool enlarge;
    std::string_view end;
    int signal;  // 0: ends with status 0
  };
  for (const Case& c : {Case{"Ctrl-C at the notice", false, "\x03", SIGINT},
                        Case{"Ctrl-C once enlarged", true, "\x03", SIGINT},
                        Case{"Escape once enlarged", true, "\x1b", 0}}) {
    SCOPED_TRACE(c.why);
    VtermPty term(potclock(20, 60));
    const std::string shell = "$ potclock";
    term.play(shell + "\r\n");
    ASSERT_TRUE(shows(term, "Please enlarge this window"));
    term.sendKeys("m");
    settle(term);
    if (c.enlarge) {
      term.resize(25, 80);
      ASSERT_TRUE(shows(term, "Select: C(omputed or m(anual (c/m): "));
      EXPECT_TRUE(hasAt(term, 8, 0, " Select: C(omputed or m(anual (c/m):  C"));
      EXPECT_EQ(term.screenText().find("Enter starting level"), std::string::npos)
          << term.screenText();
    }
    term.sendKeys(c.end);
    const int status = term.waitExit(kWait);
    if (c.signal != 0) {
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
    } else {
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_TRUE(term.restored()) << "alt " << term.altScreen() << " cursor " << term.cursorVisible()
                                 << "; sent:" << term.leftUndone();
    std::string screen = term.screenText();
    std::erase(screen, ' ');
    EXPECT_EQ(screen, "$potclock" + std::string(c.enlarge ? 25 : 20, '\n')) << term.screenText();
  }
}

TEST(PotclockE2E, HandsModeCountsHandsChimesAndSkipsAcrossAStructure) {
  VtermPty term(potclock());
  answerManual(term, "23", "2", 'H');
  // No start prompt: the first hand level comes up at once.
  ASSERT_TRUE(shows(term, "P R E S S   A   K E Y"));
  EXPECT_TRUE(hasAt(term, 4, 1, kCaption + "23)"));
  EXPECT_TRUE(waitBig(term, 6, "7000/14000"));
  EXPECT_TRUE(hasAt(term, 13, 1, kHandHeading));
  EXPECT_EQ(term.background(13, 1), palette(2));  // the prompt colours
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2"));
  EXPECT_TRUE(hasAt(term, 22, 1, kNextLevel + "-----"));
  EXPECT_TRUE(hasAt(term, 23, 59, "Press Escape to quit"));
  EXPECT_TRUE(term.waitUntil([&] { return showsTimeOfDay(term); }, kWait)) << term.rowText(22);
  EXPECT_FALSE(term.cursorVisible());
  EXPECT_EQ(term.screenText().find("A - Home game blinds"), std::string::npos);

  // A hand per key, Space too; the last one ends the level with the chime.
  // Ctrl-A, the code the program marks its own waits with, is no hand.
  const int bells = term.bells();
  keyInHandWait(term, "\x01");
  term.pump(1.2);
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2", 0));
  term.sendKeys("a");
  ASSERT_TRUE(waitBig(term, 15, " HAND: 2/2"));
  keyInHandWait(term, " ");
  ASSERT_TRUE(shows(term, kCaption + "24)"));
  EXPECT_TRUE(waitBig(term, 6, "-----"));
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2"));
  EXPECT_TRUE(hasAt(term, 22, 1, kNextLevel + "   1 / 2"));
  if (!haveSoundDevice()) {
    EXPECT_EQ(term.bells() - bells, 3);
  }

  // "+" onto the fast structure, "-" back to the separator: one tone each,
  // a fresh hand count every time.
  keyInHandWait(term, "+");
  ASSERT_TRUE(shows(term, kCaption + " 1-Fast)"));
  EXPECT_TRUE(waitBig(term, 6, "   1 / 2"));
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2"));
  EXPECT_TRUE(hasAt(term, 22, 1, kNextLevel + "   2 / 4"));
  keyInHandWait(term, "a");
  ASSERT_TRUE(waitBig(term, 15, " HAND: 2/2"));
  keyInHandWait(term, "-");
  ASSERT_TRUE(shows(term, kCaption + "24)"));
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2"));
  if (!haveSoundDevice()) {
    EXPECT_EQ(term.bells() - bells, 5);
  }

  // Escape asks; "No" goes back to the same hand, Escape not counted.
  keyInHandWait(term, "\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  EXPECT_EQ(cells(term, 22, 71, 8), "        ");
  term.sendKeys("n");
  ASSERT_TRUE(term.waitUntil(
      [&] { return term.screenText().find("Quit PotClock?") == std::string::npos; }, kWait));
  EXPECT_TRUE(waitBig(term, 15, " HAND: 1/2"));
  EXPECT_TRUE(term.waitUntil([&] { return showsTimeOfDay(term); }, kWait)) << term.rowText(22);
  EXPECT_NE(term.screenText().find(kCaption + "24)"), std::string::npos);

  keyInHandWait(term, "\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  term.sendKeys("y");
  expectEndedRestored(term, 0);
}

TEST(PotclockE2E, MinutesModeStartPromptCountdownPauseAndQuit) {
  VtermPty term(potclock());
  answerManual(term, "42", "2", 'M');
  ASSERT_TRUE(shows(term, "Press any key to start timer "));
  EXPECT_TRUE(hasAt(term, 12, 20, "Press any key to start timer "));
  EXPECT_EQ(term.foreground(12, 20), palette(11));  // yellow on green
  EXPECT_EQ(term.background(12, 20), palette(2));
  EXPECT_EQ(term.screenText().find("A - Home game blinds"), std::string::npos);

  // The key that starts the timer is not taken for a timer key ("-" would
  // go back a level).
  const auto started = std::chrono::steady_clock::now();
  term.sendKeys("-");
  ASSERT_TRUE(shows(term, kTimeHeading));
  EXPECT_TRUE(hasAt(term, 4, 1, kCaption + " 1-Club)"));
  EXPECT_TRUE(waitBig(term, 6, "  10 / 20"));
  EXPECT_TRUE(hasAt(term, 22, 1, kNextLevel + "  25 / 50"));
  EXPECT_TRUE(hasAt(term, 23, 1, kMinutesHints));
  EXPECT_FALSE(term.cursorVisible());

  // Two minutes, counting down once a second, never above 2:00.
  const CountdownReader clock(100, 120);
  const std::optional<int> first = clock.waitChange(term, std::nullopt);
  ASSERT_TRUE(first.has_value()) << term.screenText();
  const auto firstSeen = std::chrono::steady_clock::now();
  EXPECT_GE(*first, 120 - secondsSince(started) - 1);
  const std::optional<int> next = clock.waitChange(term, first);
  ASSERT_TRUE(next.has_value()) << term.screenText();
  EXPECT_LT(*next, *first);
  EXPECT_GE(*next, *first - secondsSince(firstSeen) - 1);
  EXPECT_TRUE(showsTimeOfDay(term)) << term.rowText(22);

  // Space right after a tick freezes the value shown when it is read: the
  // one seen, or the next should a tick come first. The band of the pause
  // covers only the top row of the countdown.
  const std::optional<int> seen = clock.waitChange(term, next);
  ASSERT_TRUE(seen.has_value());
  term.sendKeys(" ");
  ASSERT_TRUE(shows(term, "Press any key to resume"));
  const std::optional<int> frozen = clock.read(term, 16);
  ASSERT_TRUE(frozen.has_value()) << term.screenText();
  EXPECT_LE(*frozen, *seen);
  EXPECT_GE(*frozen, *seen - 1);
  EXPECT_TRUE(waitBig(term, 10, "  PAUSED"));
  EXPECT_EQ(term.background(10, 79), palette(2));
  EXPECT_TRUE(hasAt(term, 23, 56, "Press any key to resume"));
  term.pump(2.5);
  EXPECT_NE(term.screenText().find("Press any key to resume"), std::string::npos);

  // Any key resumes ("+" too, without skipping) from the frozen value.
  term.sendKeys("+");
  ASSERT_TRUE(term.waitUntil(
      [&] {
        return term.screenText().find("Press any key to resume") == std::string::npos &&
               clock.read(term).has_value();
      },
      kWait))
      << term.screenText();
  // The first pass after the pause shows the frozen value; a test that
  // reads late may see the next second.
  const std::optional<int> resumed = clock.read(term);
  EXPECT_LE(*resumed, *frozen);
  EXPECT_GE(*resumed, *frozen - 1);
  EXPECT_NE(term.screenText().find(kCaption + " 1-Club)"), std::string::npos);
  EXPECT_TRUE(hasAt(term, 23, 1, kMinutesHints));

  // The quit question: "No" carries on, the time it stood open gone from
  // the level; "Yes" ends the program.
  const std::optional<int> beforeQuestion = clock.waitChange(term, clock.read(term));
  ASSERT_TRUE(beforeQuestion.has_value());
  term.sendKeys("\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  EXPECT_EQ(cells(term, 22, 71, 8), "        ");
  term.pump(2.0);
  term.sendKeys("\r");  // "No" is the choice offered first
  ASSERT_TRUE(term.waitUntil(
      [&] { return term.screenText().find("Quit PotClock?") == std::string::npos; }, kWait));
  const std::optional<int> afterQuestion = clock.waitChange(term, beforeQuestion);
  ASSERT_TRUE(afterQuestion.has_value()) << term.screenText();
  EXPECT_LE(*afterQuestion, *beforeQuestion - 2);
  EXPECT_NE(term.screenText().find(kCaption + " 1-Club)"), std::string::npos);

  term.sendKeys("\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  term.sendKeys("\x1b[C");  // Right, onto "Yes"
  term.sendKeys("\r");
  expectEndedRestored(term, 0);
}

TEST(PotclockE2E, ComputedModeSharesTheTimeLeftAmongTheLevelsTheChipsAllow) {
  VtermPty term(potclock());
  ASSERT_TRUE(shows(term, "Select: C(omputed or m(anual (c/m): "));
  term.sendKeys("\r");  // Enter keeps "C"
  ASSERT_TRUE(shows(term, "Enter approximate total number of chips: "));
  ASSERT_TRUE(shows(term, ", at what time"));

  // The finish time offered is two hours after the time shown.
  const std::string question = term.rowText(6);
  std::smatch now;
  ASSERT_TRUE(std::regex_search(question, now,
                                std::regex("If the time is now ([0-2][0-9]):([0-5][0-9]), at")))
      << question;
  const int hour = std::stoi(now[1].str());
  std::string offered = std::to_string((hour + 2) % 24) + ":" + now[2].str();
  if (offered.size() < 5) offered = " " + offered;
  EXPECT_EQ(cells(term, 7, 48, 5), offered);
  EXPECT_TRUE(hasAt(term, 9, 1, "          Blind levels (see below) A, B or C:  A"));

  // 100 chips: big blinds 2, 4, 6 and 10 of structure A qualify, so the two
  // hours make four levels of 30 minutes.
  term.sendKeys("100");
  ASSERT_TRUE(term.waitUntil([&] { return fieldText(term, 4, 48, 7) == "100"; }, kWait))
      << term.rowText(4);
  // The finish time takes digits only: a sign or a blank leaves it as it is.
  term.sendKeys("\r");
  for (const char* refused : {"-", " ", "+"}) {
    term.sendKeys(refused);
    settle(term);
    EXPECT_EQ(cells(term, 7, 48, 5), offered) << "after \"" << refused << "\"";
  }
  term.sendKeys("\r\r");
  ASSERT_TRUE(shows(term, "Press any key to start timer "));
  const auto started = std::chrono::steady_clock::now();
  term.sendKeys("s");
  ASSERT_TRUE(shows(term, kTimeHeading));
  EXPECT_TRUE(hasAt(term, 4, 1, kCaption + " 1)"));
  EXPECT_TRUE(waitBig(term, 6, "   1 / 2"));
  EXPECT_TRUE(hasAt(term, 22, 1, kNextLevel + "   2 / 4"));
  const CountdownReader clock(29 * 60, 30 * 60);
  const std::optional<int> shown = clock.waitChange(term, std::nullopt);
  ASSERT_TRUE(shown.has_value()) << term.screenText();
  EXPECT_GE(*shown, 30 * 60 - secondsSince(started) - 1);

  term.sendKeys("\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  term.sendKeys("y");
  expectEndedRestored(term, 0);
}

TEST(PotclockE2E, StartingLevelOutOfRangeIsRefusedWithItsRange) {
  const auto launched = launchInterruptible(potclock());
  VtermPty& term = *launched;
  ASSERT_TRUE(shows(term, "Select: C(omputed or m(anual (c/m): "));
  term.sendKeys("m");
  ASSERT_TRUE(shows(term, "Enter starting level: "));
  term.sendKeys("64");
  ASSERT_TRUE(term.waitUntil([&] { return fieldText(term, 4, 33, 3) == "64"; }, kWait))
      << term.rowText(4);
  term.sendKeys("\r");
  ASSERT_TRUE(shows(term, "Range: 1 - 63"));
  EXPECT_TRUE(hasAt(term, 0, 50, "Range: 1 - 63"));

  // The key that dismisses the message is used up; the field stays active
  // and takes the next number.
  term.sendKeys("7");
  ASSERT_TRUE(term.waitUntil(
      [&] { return term.screenText().find("Range: 1 - 63") == std::string::npos; }, kWait));
  settle(term);
  EXPECT_EQ(fieldText(term, 4, 33, 3), "64");
  term.sendKeys("24");
  ASSERT_TRUE(term.waitUntil([&] { return fieldText(term, 4, 33, 3) == "24"; }, kWait))
      << term.screenText();
  EXPECT_EQ(fieldText(term, 6, 33, 3), "10");

  // 24, the separator after structure A, passes the range check.
  term.sendKeys("\r\r");
  term.sendKeys("M");
  ASSERT_TRUE(shows(term, "Press any key to start timer "));
  const auto started = std::chrono::steady_clock::now();
  term.sendKeys(" ");
  ASSERT_TRUE(shows(term, kCaption + "24)"));
  EXPECT_TRUE(waitBig(term, 6, "-----"));
  const std::optional<int> shown = CountdownReader(590, 600).waitChange(term, std::nullopt);
  ASSERT_TRUE(shown.has_value()) << term.screenText();
  EXPECT_GE(*shown, 600 - secondsSince(started) - 1);

  // Ctrl-C ends it as the signal would, with the terminal restored.
  term.sendKeys("\x03");
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << "\n" << term.screenText();
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_TRUE(term.restored());
  EXPECT_EQ(term.screenText().find("L E V E L"), std::string::npos);
}

}  // namespace
