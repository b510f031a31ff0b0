#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/screens/setup.h"
#include "forms/readstatus.h"
#include "runtime/console/console.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

constexpr int kEnter = krx::K_ENTER;
constexpr int kEsc = krx::K_ESC;

// The setup dialogue on the headless backend, with the screen kept at
// every wait for the key that follows.
class SetupTest : public ::testing::Test {
 protected:
  SetupTest() : SetupTest(krx::LocalTime{2026, 12, 7, 20, 0, 0}) {}
  explicit SetupTest(krx::LocalTime start) : t(start) {
    t.hl.onWait = [this](krx::HeadlessBackend&, const krx::Screen&) {
      screens.push_back(t.screenText());
    };
  }

  // Keys one after another, a tenth of a second apart.
  void type(std::initializer_list<int> codes) {
    for (int c : codes) t.hl.keyAt(when += 0.1, c);
  }
  void type(std::string_view text) {
    for (unsigned char c : text) t.hl.keyAt(when += 0.1, c);
  }

  bool everShown(std::string_view text) const {
    for (const auto& s : screens)
      if (s.find(text) != std::string::npos) return true;
    return false;
  }

  std::string row(int r) const { return t.rowText(r); }

  TestRuntime t;
  std::vector<std::string> screens;
  double when = 0;
};

TEST_F(SetupTest, EnterChoosesComputedModeAndEscapeKeepsTheDefaults) {
  type({kEnter});  // "C" as it stands
  type({kEsc});    // leave the computed questions as they are
  type({'k'});     // the start prompt
  Handover h = runSetup();
  EXPECT_EQ(h.nLevel, 1);
  EXPECT_EQ(h.nPerLevel, 10);  // no chips, no qualifying level
  EXPECT_EQ(h.mode, Mode::minutes);
  EXPECT_TRUE(everShown("      Enter approximate total number of chips:        0"));
  EXPECT_TRUE(everShown(" If the time is now 20:00, at what time"));
  EXPECT_TRUE(everShown("    would you like the game to finish (HH:MM):  22:00"));
  EXPECT_TRUE(everShown("           Blind levels (see below) A, B or C:  A"));
  // The start prompt cleared the level list and wrote its line.
  EXPECT_TRUE(everShown("                    Press any key to start timer "));
  EXPECT_EQ(krx::LASTKEY(), 'x');
}

TEST_F(SetupTest, ComputedModeHandsOverTheSchedule) {
  type({kEnter});
  type("100");
  type({kEnter, kEnter});  // chips; the finish time two hours on
  type("b");               // upper-cased by the field; fills it and ends the read
  type({' '});
  Handover h = runSetup();
  // 100 chips: big blinds 2, 4 and 8 of the fast structure; 120 minutes / 3.
  EXPECT_EQ(h.nLevel, 25);
  EXPECT_EQ(h.nPerLevel, 40);
  EXPECT_EQ(h.mode, Mode::minutes);
}

TEST_F(SetupTest, AnyOtherLetterIsComputedModeAndAStructureLetterIsChecked) {
  type("x");  // one letter fills the field and ends the read
  type("100");
  type({kEnter, kEnter});
  type("d");  // refused: the field stays until A, B or C
  type("a");
  type({' '});
  Handover h = runSetup();
  EXPECT_EQ(h.nLevel, 1);
  EXPECT_EQ(h.nPerLevel, 30);  // 2, 4, 6, 10 qualify: 120 / 4
}

TEST_F(SetupTest, EscapeAtTheModeQuestionEndsTheProgram) {
  type({kEsc});
  EXPECT_THROW(runSetup(), krx::QuitSignal);
  EXPECT_FALSE(everShown("Enter approximate total number of chips"));
  EXPECT_FALSE(everShown("Enter starting level"));
}

TEST_F(SetupTest, ManualHandsModeStartsAtOnceWithTheLevelList) {
  type("m");
  type("24");  // a separator level passes the range check
  type({kEnter});
  type("8");
  type({kEnter});
  type("h");
  Handover h = runSetup();
  EXPECT_EQ(h.nLevel, 24);
  EXPECT_EQ(h.nPerLevel, 8);
  EXPECT_EQ(h.mode, Mode::hands);
  EXPECT_TRUE(
      everShown("          Enter starting level:    1  (eg: enter 25 for 1st level Fast Blinds)"));
  EXPECT_TRUE(everShown(" Enter hands/minutes per level:   10    H(ands or M(inutes:  M"));
  EXPECT_FALSE(everShown("Press any key to start timer"));
  EXPECT_EQ(row(11).substr(0, 18), " Levels by number:");
  EXPECT_EQ(row(12).substr(0, 24), " A - Home game blinds...");
}

TEST_F(SetupTest, ManualMinutesModeShowsTheStartPrompt) {
  type("M");
  type({kEnter, kEnter, kEnter});  // 1, 10 and "M" as they stand
  type({'q'});
  Handover h = runSetup();
  EXPECT_EQ(h.nLevel, 1);
  EXPECT_EQ(h.nPerLevel, 10);
  EXPECT_EQ(h.mode, Mode::minutes);
  EXPECT_EQ(row(12).substr(20, 29), "Press any key to start timer ");
  for (int r = 13; r <= 23; ++r) EXPECT_EQ(row(r), std::string(80, ' ')) << r;
  EXPECT_EQ(t.attrAt(12, 20), krx::makeAttr(14, 2));  // the prompt colours
  // The setup colours again (yellow reads back as GR+, the background slot
  // as it was).
  const std::string inForce = krx::SETCOLOR();
  EXPECT_EQ(inForce, "G+/B,W+/GR+,R+/W+,W/N,W+/BG");
}

TEST_F(SetupTest, StartingLevelOutsideTheRangeIsRefused) {
  type("m");
  type("64");
  type({kEnter});
  type({'z'});  // dismisses the message; not typed into the field
  type("63");
  type({kEnter, kEnter});
  type("h");
  Handover h = runSetup();
  EXPECT_TRUE(everShown("Range: 1 - 63"));
  EXPECT_EQ(h.nLevel, 63);
  EXPECT_EQ(h.mode, Mode::hands);
}

class Midnight : public SetupTest {
 protected:
  Midnight() : SetupTest(krx::LocalTime{2026, 12, 7, 23, 40, 0}) {}
};

TEST_F(Midnight, DefaultFinishTimeAfterMidnight) {
  type({kEnter});
  type("20");
  type({kEnter, kEnter, kEnter, ' '});
  Handover h = runSetup();
  EXPECT_TRUE(everShown("    would you like the game to finish (HH:MM):   1:40"));
  EXPECT_EQ(h.nPerLevel, 120);  // only the first big blind, 2, qualifies
}

// The finish time offered is two hours on, across midnight at 22 and 23
// hours, with a blank before a one-digit hour.
struct FinishDefault {
  int hour, minute;
  const char* now;
  const char* offered;
};

class DefaultFinishTime : public SetupTest, public ::testing::WithParamInterface<FinishDefault> {
 protected:
  DefaultFinishTime()
      : SetupTest(krx::LocalTime{2026, 12, 7, GetParam().hour, GetParam().minute, 30}) {}
};

TEST_P(DefaultFinishTime, OfferedTwoHoursOn) {
  type({kEnter, kEsc, ' '});
  runSetup();
  EXPECT_TRUE(everShown(std::string(" If the time is now ") + GetParam().now + ", at what time"));
  EXPECT_TRUE(everShown(std::string("    would you like the game to finish (HH:MM):  ") +
                        GetParam().offered));
}

INSTANTIATE_TEST_SUITE_P(Hours, DefaultFinishTime,
                         ::testing::Values(FinishDefault{7, 40, "07:40", " 9:40"},
                                           FinishDefault{20, 35, "20:35", "22:35"},
                                           FinishDefault{21, 0, "21:00", "23:00"},
                                           FinishDefault{21, 59, "21:59", "23:59"},
                                           FinishDefault{22, 0, "22:00", " 0:00"},
                                           FinishDefault{22, 47, "22:47", " 0:47"},
                                           FinishDefault{23, 0, "23:00", " 1:00"},
                                           FinishDefault{23, 59, "23:59", " 1:59"}));

}  // namespace
}  // namespace potclock
