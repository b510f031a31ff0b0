// Alt-Enter on the real program in a terminal of 160x50: the screen filled
// out to the terminal, each of its cells a block of 2 by 2, the large text
// read back against the glyphs' pictures scaled; and the key is the
// runtime's own, never a key of the program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <time.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"
#include "support/countdown_text.h"
#include "support/filled_pictures.h"
#include "support/glyph_pictures.h"

namespace {

using e2e::answerManual;
using e2e::cells;
using e2e::keyInHandWait;
using e2e::kWait;
using e2e::quitWithYes;
using e2e::settle;
using e2e::VtermPty;

constexpr int kRows = 50, kCols = 160;
// Centred, the 80x25 screen starts here in a terminal of 160x50.
constexpr int kTop = 12, kLeft = 40;
constexpr e2e::Origin kCentred{kTop, kLeft};
constexpr std::string_view kAltEnter = "\x1b\r";

e2e::Launch potclockAt160x50() {
  e2e::Launch launch;
  launch.argv = {POTCLOCK_BIN};
  launch.rows = kRows;
  launch.cols = kCols;
  return launch;
}

// Large text on screen rows `top` to `top` + 5, filled: 2 by 2 blocks from
// the terminal's corner.
bool showsFilledBig(const VtermPty& term, int top, std::string_view phrase) {
  const std::vector<std::string> want = expected::filledRows(expected::bigRows(phrase), 2, 2);
  for (int k = 0; k < 12; ++k) {
    if (cells(term, 2 * top + k, 0, kCols) != want[static_cast<std::size_t>(k)]) return false;
  }
  return true;
}

// ...and centred, one cell each.
bool showsCentredBig(const VtermPty& term, int top, std::string_view phrase) {
  return e2e::showsBig(term, top, expected::bigRows(phrase), kCentred);
}

// A row of the 80x25 screen as the filled terminal shows its text: every
// character in the lower row of its block, at the block's first column.
std::string filledText(const VtermPty& term, int row, int col, int count) {
  std::string out;
  for (int c = col; c < col + count; ++c) out += term.cellText(2 * row + 1, 2 * c);
  return out;
}

::testing::AssertionResult waitFor(VtermPty& term, const std::function<bool()>& done,
                                   const char* what) {
  if (term.waitUntil(done, kWait)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << what << ":\n" << term.screenText();
}

TEST(FillE2E, AltEnterFillsTheTerminalWithTheDialogueAndTheTimer) {
  VtermPty term(potclockAt160x50());
  const std::string question = " Select: C(omputed or m(anual (c/m):";
  ASSERT_TRUE(term.waitForText(question, kWait)) << term.screenText();
  EXPECT_EQ(cells(term, kTop + 8, kLeft, 36), question);

  // The dialogue filled: its text spaced out over the whole terminal, the
  // blue of its background reaching the corners.
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return filledText(term, 8, 0, 36) == question; }, "no filled dialogue"));
  settle(term);  // the question may come before the rows below it
  const std::string line = " The program can compute the required time between";
  EXPECT_EQ(filledText(term, 4, 0, static_cast<int>(line.size())), line);
  EXPECT_EQ(cells(term, 16, 0, 20), std::string(20, ' '));  // the upper rows of the blocks
  EXPECT_EQ(term.background(0, 0), (VtermPty::Colour{false, 4}));
  EXPECT_EQ(term.background(kRows - 1, kCols - 1), (VtermPty::Colour{false, 4}));

  // Back to centred to answer; filled again with the timer running.
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return cells(term, kTop + 8, kLeft, 36) == question; }, "not centred again"));
  answerManual(term, "1", "20", 'M', kCentred);
  ASSERT_TRUE(term.waitForText("Press any key to start timer", kWait)) << term.screenText();
  term.sendKeys(" ");
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 6, "   1 / 2"); }, "no blinds"));
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsFilledBig(term, 6, "   1 / 2"); }, "no filled blinds"));

  // The countdown keeps going, filled, second by second.
  std::vector<int> seen;
  ASSERT_TRUE(waitFor(
      term,
      [&] {
        for (int s = 20 * 60; s >= 20 * 60 - 8; --s) {
          if (showsFilledBig(term, 15, expected::countdownText(s))) {
            if (seen.empty() || seen.back() != s) seen.push_back(s);
            return seen.size() >= 2;
          }
        }
        return false;
      },
      "the filled countdown does not count"));
  EXPECT_LT(seen[1], seen[0]);
  EXPECT_EQ(filledText(term, 4, 1, 16), "S M A L L   B L ");

  // Alt-Enter again: centred as before.
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 6, "   1 / 2"); }, "not centred again"));
  EXPECT_EQ(term.background(0, 0), (VtermPty::Colour{}));
  quitWithYes(term, kCentred);
}

TEST(FillE2E, AltEnterIsNoHandInHandsMode) {
  VtermPty term(potclockAt160x50());
  answerManual(term, "1", "3", 'H', kCentred);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 15, " HAND: 1/3"); }, "no hand count"));

  // Pressed twice it goes and comes back, and counts nothing either way.
  keyInHandWait(term, kAltEnter, kCentred);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsFilledBig(term, 15, " HAND: 1/3"); }, "not filled"));
  term.pump(0.6);
  EXPECT_TRUE(showsFilledBig(term, 15, " HAND: 1/3")) << term.screenText();
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 15, " HAND: 1/3"); }, "not centred"));
  term.pump(0.6);
  EXPECT_TRUE(showsCentredBig(term, 15, " HAND: 1/3")) << term.screenText();

  // Any other key still counts a hand.
  keyInHandWait(term, "a", kCentred);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 15, " HAND: 2/3"); }, "the key counted no hand"));
  quitWithYes(term, kCentred);
}

// Before each hand's wait the timer drops the keys typed ahead: an Alt-Enter
// among them is the runtime's, not type-ahead, and still fills the terminal,
// and none of the dropped keys counts a hand.
TEST(FillE2E, AltEnterAmongDroppedTypeAheadStillFillsAndCountsNoHand) {
  VtermPty term(potclockAt160x50());
  answerManual(term, "1", "3", 'H', kCentred);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 15, " HAND: 1/3"); }, "no hand count"));
  // "a" counts the hand, the timer reads "b" and "c" on the way to the next
  // wait and drops the rest, Alt-Enter among it.
  keyInHandWait(term, "abcd" + std::string(kAltEnter) + "e", kCentred);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsFilledBig(term, 15, " HAND: 2/3"); }, "not filled at hand 2"));
  settle(term);
  EXPECT_TRUE(showsFilledBig(term, 15, " HAND: 2/3")) << term.screenText();
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return showsCentredBig(term, 15, " HAND: 2/3"); }, "not centred"));
  quitWithYes(term, kCentred);
}

// A program that asks the runtime to start filled is filled from its first
// screen; a click lands on the screen cell whose block it falls in.
TEST(FillE2E, TheFillOptionStartsTheDialogueFilled) {
  e2e::Launch launch = potclockAt160x50();
  launch.argv.push_back("--fill");
  VtermPty term(launch);
  const std::string question = " Select: C(omputed or m(anual (c/m):";
  ASSERT_TRUE(waitFor(
      term, [&] { return filledText(term, 8, 0, 36) == question; }, "not filled from the start"));
  settle(term);
  EXPECT_EQ(term.background(kRows - 1, kCols - 1), (VtermPty::Colour{false, 4}));
  // Alt-Enter still switches back.
  term.sendKeys(kAltEnter);
  ASSERT_TRUE(waitFor(
      term, [&] { return cells(term, kTop + 8, kLeft, 36) == question; }, "not centred"));
  term.sendKeys("\x1b");
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_TRUE(term.restored());
}

TEST(FillE2E, StartsFilledWhenTheProgramAsksAndMapsClicksToCells) {
  e2e::Launch launch;
  launch.argv = {std::string(E2E_BIN_DIR) + "/console_demo", "--filled"};
  launch.rows = kRows;
  launch.cols = kCols;
  VtermPty term(launch);
  ASSERT_TRUE(waitFor(
      term, [&] { return filledText(term, 4, 0, 5) == "READY"; }, "not filled from the start"));
  EXPECT_EQ(filledText(term, 0, 0, 12), "CONSOLE DEMO");
  // Shade, full block, lower half, upper half, each 2 by 2; the small
  // square, not a block element, once.
  EXPECT_EQ(cells(term, 4, 0, 10), "▒▒██  ██  ");
  EXPECT_EQ(cells(term, 5, 0, 10), "▒▒████  ■ ");

  term.sendKeys("m");
  ASSERT_TRUE(waitFor(
      term, [&] { return filledText(term, 8, 0, 8) == "MOUSE ON"; }, "no mouse"));
  term.sendKeys("\x1b[<0;62;42M\x1b[<0;62;42m");  // terminal cell (41, 61)
  EXPECT_TRUE(waitFor(
      term, [&] { return filledText(term, 8, 0, 11) == "CLICK 20 30"; }, "no click"));

  // Alt-Enter: centred, one cell each.
  term.sendKeys(kAltEnter);
  EXPECT_TRUE(waitFor(
      term, [&] { return cells(term, kTop + 4, kLeft, 5) == "READY"; }, "not centred"));
  term.sendKeys("q");
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_TRUE(term.restored());
}

// The TV picture: filled with blocks two rows high or more, rows 21 to 24
// become a band with the next level's blinds and the time of day in the
// font's large characters, read here against the glyphs' pictures. A
// terminal where it does not fit shows those rows as blocks, as before.
struct TvSize {
  int cols, rows;
  int sx, sy;
  bool band;
};

// The wall clock's time of day `back` seconds ago, as the program shows it.
std::string timeOfDayAgo(int back) {
  const time_t now = ::time(nullptr) - back;
  tm parts{};
  ::localtime_r(&now, &parts);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &parts);
  return text;
}

// `phrase` in large characters at a terminal cell, one terminal cell per
// picture cell.
bool showsBigAt(const VtermPty& term, int row, int col, std::string_view phrase) {
  const auto rows = expected::bigRows(phrase, 0);
  for (int k = 0; k < 6; ++k) {
    const std::string& want = rows[static_cast<std::size_t>(k)];
    if (cells(term, row + k, col, static_cast<int>(expected::columns(want))) != want) return false;
  }
  return true;
}

// The time of day in large characters ending at `right`: one of the last
// few seconds.
bool showsBigTimeOfDay(const VtermPty& term, int row, int right) {
  for (int back = -1; back <= 3; ++back) {
    const std::string time = timeOfDayAgo(back);
    if (showsBigAt(term, row, right - 55, time)) return true;
  }
  return false;
}

// Text of a screen row as the blocks show it: a character a block.
std::string blockText(const VtermPty& term, const TvSize& at, int row, int col, int count) {
  std::string out;
  for (int c = col; c < col + count; ++c) out += term.cellText(row * at.sy + at.sy / 2, c * at.sx);
  return out;
}

TEST(FillE2E, TheTvBandShowsTheNextBlindsAndTheTimeOfDayLargeWhereItFits) {
  const e2e::StateHome home;
  const std::filesystem::path file = home.dir() / "tv.toml";
  std::ofstream(file) << "minutes = 20\n[[level]]\nblinds = [100, 200]\n"
                         "[[level]]\nblinds = [200, 400]\nante = 50\n"
                         "[[level]]\nbreak = 5\n[[level]]\nblinds = [300, 600]\n";
  const std::string hints =
      "Press: Alt-Enter=size, +/- to skip levels, Space to pause, Escape to quit";
  for (const TvSize& at : {TvSize{160, 50, 2, 2, true}, TvSize{240, 75, 3, 3, true},
                           TvSize{160, 25, 2, 1, false}, TvSize{80, 75, 1, 3, false}}) {
    SCOPED_TRACE(std::to_string(at.cols) + "x" + std::to_string(at.rows));
    e2e::Launch launch = e2e::potclockIn(home, {"--fill", "--structure", file.string()});
    launch.rows = at.rows;
    launch.cols = at.cols;
    VtermPty term(launch);
    ASSERT_TRUE(waitFor(
        term, [&] { return blockText(term, at, 12, 20, 5) == "Press"; }, "no start prompt"));
    term.sendKeys("s");
    if (!at.band) {
      // Too low or too narrow: the rows as blocks, the time of day with them.
      ASSERT_TRUE(waitFor(
          term,
          [&] {
            return blockText(term, at, 22, 0, 43) ==
                       " N E X T   L E V E L   =  200/400  Ante: 50" &&
                   blockText(term, at, 22, 73, 1) == ":";
          },
          "no next level in blocks"));
      settle(term);
      EXPECT_EQ(blockText(term, at, 23, 1, 6), "Press:");
      term.sendKeys("\x1b");
      ASSERT_TRUE(waitFor(
          term, [&] { return blockText(term, at, 22, 71, 8) == "        "; }, "no quit question"));
      term.sendKeys("y");
      const int status = term.waitExit(kWait);
      ASSERT_TRUE(WIFEXITED(status)) << status;
      continue;
    }
    // The band's rows, the large ones in the middle of those above the hints.
    const int heading = 21 * at.sy + (4 * at.sy - 8) / 2;
    const int left = at.sx, right = 79 * at.sx;
    ASSERT_TRUE(waitFor(
        term, [&] { return showsBigAt(term, heading + 1, left, "200/400"); },
        "no next blinds in large characters"));
    settle(term);  // the rows below may still be on their way
    EXPECT_EQ(cells(term, heading, left, 30), "N E X T   L E V E L   Ante: 50");
    EXPECT_EQ(cells(term, 21 * at.sy + 4 * at.sy - 1, left, static_cast<int>(hints.size())), hints);
    EXPECT_TRUE(waitFor(
        term, [&] { return showsBigTimeOfDay(term, heading + 1, right); }, "no time of day"));
    // The large blinds and countdown above, as blocks.
    EXPECT_EQ(blockText(term, at, 13, 1, 9), "T I M E  ");

    // The quit question blanks the time of day, on the band as on row 22.
    term.sendKeys("\x1b");
    ASSERT_TRUE(waitFor(
        term,
        [&] {
          return cells(term, heading + 3, right - 55, 55) == std::string(55, ' ') &&
                 showsBigAt(term, heading + 1, left, "200/400");
        },
        "the time of day stays during the quit question"));
    term.sendKeys("\r");  // "No"
    EXPECT_TRUE(waitFor(
        term, [&] { return showsBigTimeOfDay(term, heading + 1, right); }, "no time again"));

    // The next level after a skip: the break.
    term.sendKeys("+");
    EXPECT_TRUE(waitFor(
        term,
        [&] {
          return showsBigAt(term, heading + 1, left, "BREAK") &&
                 cells(term, heading, left, 40) == "N E X T   L E V E L   break of 5 minutes";
        },
        "no break next"));
    // The time of day back first, so that its blanking tells the question is
    // open: a key sent before that could follow Escape at once, as Alt does.
    ASSERT_TRUE(waitFor(
        term, [&] { return showsBigTimeOfDay(term, heading + 1, right); },
        "no time after the skip"));
    term.sendKeys("\x1b");
    ASSERT_TRUE(waitFor(
        term, [&] { return cells(term, heading + 3, right - 55, 55) == std::string(55, ' '); },
        "no quit question"));
    term.sendKeys("y");
    const int status = term.waitExit(kWait);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

}  // namespace
