// Keys applied to the field being read: typing under the pictures the setup
// dialogue uses, editing keys, the settings that change typing and Escape,
// and the insert indicator on the scoreboard.
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms_fixture.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"

namespace {

using krx::Item;

class EditingTest : public FormsTest {
 protected:
  bool read(std::initializer_list<krx::GetRef> gets) { return potclock::READMODAL(listOf(gets)); }
};

TEST_F(EditingTest, TypingUnderTheDialoguePictures) {
  krx::VarRef cMode = krx::makeVar("C");
  krx::VarRef nLevel = krx::makeVar(1);
  krx::VarRef cHours = krx::makeVar("00:00");
  auto mode = field(8, 38, cMode, "cMode", "!");
  auto level = field(4, 33, nLevel, "nLevel", "999");
  auto hours = field(7, 48, cHours, "cHours", "99:99");
  // "m" fills the one-character field and leaves it; "x" is refused by "999";
  // the finish time skips its colon and leaves the field when full.
  t.hl.text("m2x5");
  t.hl.keys({krx::K_ENTER});
  t.hl.text("2230");
  EXPECT_TRUE(read({mode, level, hours}));
  EXPECT_EQ(cMode->str(), "M");
  EXPECT_EQ(nLevel->num(), 25);
  EXPECT_EQ(cHours->str(), "22:30");
  EXPECT_EQ(krx::ROW(), krx::MAXROW() - 1);
  EXPECT_EQ(krx::COL(), 0);
}

TEST_F(EditingTest, EditingKeysAndUndo) {
  krx::VarRef text = krx::makeVar("abcde");
  auto get = field(1, 1, text, "cText", "XXXXX");
  t.hl.keys({krx::K_RIGHT, krx::K_DEL, krx::K_ENTER});
  EXPECT_TRUE(read({get}));
  EXPECT_EQ(text->str(), "acde ");

  // Ctrl-U puts back the value the field had when it was entered.
  t.hl.text("zz");
  t.hl.keys({krx::K_CTRL_U, krx::K_ENTER});
  EXPECT_FALSE(read({get}));
  EXPECT_EQ(text->str(), "acde ");
}

TEST_F(EditingTest, DecimalPointMovesInNumbersAndIsTypedInText) {
  krx::VarRef amount = krx::makeVar(0);
  krx::VarRef code = krx::makeVar("    ");
  auto number = field(1, 1, amount, "nAmount", "9999.99");
  auto text = field(2, 1, code, "cCode", "XXXX");
  t.hl.text("12.5");
  t.hl.keys({krx::K_ENTER});
  t.hl.text("a.b");
  t.hl.keys({krx::K_ENTER});
  read({number, text});
  EXPECT_DOUBLE_EQ(amount->num(), 12.5);
  EXPECT_EQ(code->str(), "a.b ");
}

TEST_F(EditingTest, ConfirmKeepsAFullFieldActive) {
  krx::VarRef a = krx::makeVar("x");
  krx::VarRef b = krx::makeVar("x");
  auto fa = field(1, 1, a, "cA", "!");
  auto fb = field(2, 1, b, "cB", "!");

  // Confirm off: each letter fills its field and moves on; the read ends
  // before the rest of the script.
  t.hl.text("mn");
  t.hl.keys({krx::K_ENTER});
  read({fa, fb});
  EXPECT_EQ(a->str(), "M");
  EXPECT_EQ(b->str(), "N");
  EXPECT_EQ(krx::INKEY(), krx::K_ENTER);

  // Confirm on: the cursor stays on the last position, the next letter
  // replaces the first, and Enter is needed to leave; the bell rings.
  krx::SET(krx::SET_CONFIRM, true);
  krx::SET(krx::SET_BELL, true);
  t.hl.text("mn");
  t.hl.keys({krx::K_ENTER});
  t.hl.text("z");
  t.hl.keys({krx::K_ENTER});
  read({fa, fb});
  EXPECT_EQ(a->str(), "N");
  EXPECT_EQ(b->str(), "Z");
  EXPECT_GE(t.hl.bells, 2);
}

TEST_F(EditingTest, EscapeDropsTheUnconfirmedEditUnlessDisabled) {
  krx::VarRef first = krx::makeVar("a");
  krx::VarRef second = krx::makeVar("abc");
  auto f1 = field(1, 1, first, "cFirst", "!");
  auto f2 = field(2, 1, second, "cSecond", "XXX");

  t.hl.text("z");
  t.hl.keys({krx::K_ESC});
  EXPECT_FALSE(read({f2}));
  EXPECT_EQ(second->str(), "abc");
  EXPECT_EQ(krx::LASTKEY(), krx::K_ESC);

  // The flag still tells of the fields confirmed before Escape.
  t.hl.text("mz");
  t.hl.keys({krx::K_ESC});
  EXPECT_TRUE(read({f1, f2}));
  EXPECT_EQ(first->str(), "M");
  EXPECT_EQ(second->str(), "abc");

  krx::SET(krx::SET_ESCAPE, false);
  t.hl.text("z");
  t.hl.keys({krx::K_ESC, krx::K_ENTER});
  EXPECT_TRUE(read({f2}));
  EXPECT_EQ(second->str(), "zbc");
}

TEST_F(EditingTest, InsTogglesModeAndScoreboardIndicator) {
  krx::VarRef text = krx::makeVar("abc");
  auto get = field(1, 1, text, "cText", "XXX");
  std::vector<std::string> shown;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen&) {
    shown.push_back(scoreboardText(3));
  };
  t.hl.keys({krx::K_INS});
  t.hl.text("z");
  t.hl.keys({krx::K_ENTER});
  read({get});
  EXPECT_EQ(shown, (std::vector<std::string>{"Ovr", "Ins", "Ins"}));
  EXPECT_EQ(text->str(), "zab");
  EXPECT_TRUE(potclock::READINSERT());

  // The mode carries over to the next read.
  shown.clear();
  t.hl.keys({krx::K_ENTER});
  read({get});
  EXPECT_EQ(shown, (std::vector<std::string>{"Ins"}));

  // With the scoreboard off nothing is written there.
  krx::SCROLL();
  krx::SET(krx::SET_SCOREBOARD, false);
  shown.clear();
  t.hl.keys({krx::K_INS, krx::K_ENTER});
  read({get});
  EXPECT_EQ(shown, (std::vector<std::string>{"   ", "   "}));
  EXPECT_FALSE(potclock::READINSERT());
}

}  // namespace
