#include <gtest/gtest.h>

#include <sstream>

#include "runtime/console/console.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {

const std::vector<std::string> kNoYes{"No", "Yes"};

// Fills the screen with a pattern that any leftover of the box would break.
void fillScreen() {
  SETCOLOR("W/B");
  for (int r = 0; r <= MAXROW(); ++r) {
    DEVPOS(r, 0);
    DEVOUT(std::string(80, static_cast<char>('a' + r % 26)));
  }
}

}  // namespace

TEST(Alert, KeysMoveBetweenButtonsAndChoose) {
  struct Case {
    std::vector<int> keys;
    int answer;
  };
  const Case cases[] = {
      {{K_ENTER}, 1},  // the first button is highlighted at the start
      {{K_RIGHT, K_ENTER}, 2},
      {{K_TAB, K_TAB, K_ENTER}, 1},  // Tab wraps round
      {{K_LEFT, K_ENTER}, 2},        // so does Left from the first
      {{K_RIGHT, K_SH_TAB, K_ENTER}, 1},
      {{'y'}, 2},  // the first letter chooses at once, any case
      {{'N'}, 1},
      {{'q', K_DOWN, K_ESC}, 0},  // other keys are ignored; Escape chooses nothing
  };
  for (const Case& c : cases) {
    TestRuntime t;
    for (int key : c.keys) t.hl.keys({key});
    EXPECT_EQ(ALERT("Quit PotClock?", kNoYes), c.answer) << "after " << c.keys.size() << " keys";
    ASSERT_EQ(t.hl.alerts.size(), 1u);
    EXPECT_EQ(t.hl.alerts[0].text, "Quit PotClock?");
    EXPECT_EQ(t.hl.alerts[0].answer, c.answer);
    EXPECT_EQ(LASTKEY(), c.keys.back());
  }
}

TEST(Alert, DrawsACentredBoxAndRestoresTheScreen) {
  TestRuntime t;
  fillScreen();
  SETPOS(7, 9);
  const std::string before = t.screenText();
  const std::string colours = SETCOLOR();

  std::string shown;
  Attr first = 0, second = 0;
  int buttonRow = -1;
  t.hl.onWait = [&](HeadlessBackend& hl, const Screen& s) {
    shown = t.screenText();
    for (int r = 0; r <= MAXROW(); ++r) {
      const auto at = s.rowBytes(r).find(" Yes ");
      if (at != std::string::npos) {
        buttonRow = r;
        second = s.at(r, static_cast<int>(at) + 1).attr;
        first = s.at(r, static_cast<int>(s.rowBytes(r).find(" No ")) + 1).attr;
      }
    }
    EXPECT_FALSE(s.cursorVisible);
    hl.keys({K_ESC});
  };
  EXPECT_EQ(ALERT("Quit;PotClock now?", kNoYes), 0);

  // Two text lines, a blank row and the buttons inside a double border,
  // centred on the screen: rows 9 to 14, columns 31 to 47.
  const std::string expected[] = {
      "╔═══════════════╗", "║     Quit      ║", "║ PotClock now? ║",
      "║               ║", "║   No    Yes   ║", "╚═══════════════╝",
  };
  std::istringstream rows(shown);
  std::string line;
  for (int r = 0; std::getline(rows, line); ++r) {
    const std::string pattern(1, static_cast<char>('a' + r % 26));
    if (r < 9 || r > 14) {
      EXPECT_EQ(line.find_first_not_of(pattern), std::string::npos) << "row " << r << "\n" << shown;
      continue;
    }
    EXPECT_EQ(line.substr(0, 31), std::string(31, pattern[0])) << "row " << r << "\n" << shown;
    EXPECT_EQ(line.substr(31, expected[r - 9].size()), expected[r - 9]) << "row " << r << "\n"
                                                                        << shown;
    EXPECT_EQ(line.substr(31 + expected[r - 9].size()), std::string(32, pattern[0]));
  }
  EXPECT_EQ(buttonRow, 13);
  EXPECT_NE(first, second);  // the highlight is on the first button

  EXPECT_EQ(t.screenText(), before);
  EXPECT_EQ(ROW(), 7);
  EXPECT_EQ(COL(), 9);
  EXPECT_TRUE(t.rt.screen.cursorVisible);
  EXPECT_EQ(SETCOLOR(), colours);
}

TEST(Alert, RestoresTheScreenWhenLeftByAnException) {
  TestRuntime t;
  fillScreen();
  const std::string before = t.screenText();
  EXPECT_THROW(ALERT("Nobody answers"), ScriptExhausted);
  EXPECT_EQ(t.screenText(), before);

  // A line and a button row too wide for the screen stay inside the box.
  const std::vector<std::string> many(30, "Option");
  EXPECT_THROW(ALERT(std::string(200, '-') + std::string(30, ';'), many), ScriptExhausted);
  EXPECT_EQ(t.screenText(), before);
}

TEST(Alert, ScriptedAnswersNeedNoKeysAndDrawNothing) {
  TestRuntime t;
  t.hl.alertAnswers({2});
  const auto version = t.rt.screen.version();
  EXPECT_EQ(ALERT("Quit PotClock?", kNoYes), 2);
  EXPECT_EQ(t.rt.screen.version(), version);
  EXPECT_EQ(t.hl.presents, 0);
  ASSERT_EQ(t.hl.alerts.size(), 1u);
  EXPECT_EQ(t.hl.alerts[0].options, kNoYes);
  EXPECT_EQ(t.hl.alerts[0].answer, 2);
}

TEST(Alert, NoOptionsGiveOneOkButton) {
  TestRuntime t;
  t.hl.keys({K_ENTER});
  EXPECT_EQ(ALERT("NTXDBE database engine not loaded", {}), 1);
  EXPECT_EQ(t.hl.alerts[0].options, std::vector<std::string>{"Ok"});
}
