#include "runtime/console/get.h"

#include <gtest/gtest.h>

#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {

// A field bound to a variable of its own, as the form code binds one.
struct Field {
  VarRef var;
  GetRef get;
};

Field field(Item initial, std::string picture, int row = 4, int col = 48) {
  auto var = makeVar(std::move(initial));
  auto accessor = makeBlock("{|x| IIf(PCount()==0, v, v:=x)}", [var](std::span<const Item> a) {
    if (!a.empty()) *var = a[0];
    return *var;
  });
  return {var, Get::New(row, col, accessor, "v", std::move(picture))};
}

void overstrike(Get& get, std::string_view keys) {
  for (char c : keys) get.overstrike(c);
}

Attr attrOf(std::string_view pair) {
  Attr attr = 0;
  EXPECT_TRUE(parseColorPair(pair, attr)) << pair;
  return attr;
}

}  // namespace

TEST(Get, DigitsIntoANumberStartANewNumberAndShowRightAligned) {
  TestRuntime t;
  SET(SET_BELL, true);
  auto [var, get] = field(0, "9999999");
  EXPECT_EQ(get->type(), "N");
  EXPECT_EQ(get->buffer(), "      0");
  EXPECT_EQ(get->width(), 7);

  get->setFocus();
  EXPECT_EQ(get->pos, 1);
  EXPECT_FALSE(get->typeOut());
  overstrike(*get, "1250");
  EXPECT_EQ(get->buffer(), "1250   ");
  EXPECT_TRUE(get->changed);
  get->overstrike('x');  // refused: not taken, bell
  EXPECT_EQ(get->buffer(), "1250   ");
  EXPECT_TRUE(get->rejected());
  EXPECT_EQ(t.hl.bells, 1);
  get->_assign();
  EXPECT_EQ(var->num(), 1250);

  overstrike(*get, "12");  // the edit goes on from the cursor; 7 digits fill it
  EXPECT_FALSE(get->typeOut());
  get->overstrike('3');
  EXPECT_EQ(get->buffer(), "1250123");
  EXPECT_TRUE(get->typeOut());

  get->killFocus();
  EXPECT_EQ(get->buffer(), "   1250");  // the variable's value, right-aligned
  EXPECT_FALSE(get->hasFocus());

  SET(SET_BELL, false);
  get->setFocus();
  get->overstrike('?');
  EXPECT_EQ(t.hl.bells, 1);
}

// The read loop assigns, calls Reset and only then runs a range check that
// asks `changed`: the edit must still count, and the refused number must be
// retyped from scratch rather than leaving the cursor past the end.
TEST(Get, ResetKeepsTheEditAndUndoBringsTheFocusValueBack) {
  TestRuntime t;
  auto [var, get] = field(1, "999");
  get->setFocus();
  overstrike(*get, "640");
  EXPECT_TRUE(get->typeOut());
  get->_assign();
  get->Reset();
  EXPECT_EQ(var->num(), 640);
  EXPECT_TRUE(get->changed);
  EXPECT_FALSE(get->typeOut());
  EXPECT_EQ(get->pos, 1);
  EXPECT_EQ(get->buffer(), "640");
  EXPECT_EQ(get->varGet().num(), 640);

  // The variable holds the refused 640: after undo the field still counts as
  // changed, so confirming it puts 1 back.
  get->undo();
  EXPECT_EQ(get->buffer(), "  1");
  EXPECT_TRUE(get->changed);
  get->_assign();
  EXPECT_EQ(var->num(), 1);

  get->Reset();
  get->overstrike('7');  // a new number again
  EXPECT_EQ(get->buffer(), "7  ");
  get->undo();
  EXPECT_FALSE(get->changed);  // nothing assigned: nothing to put back
  EXPECT_EQ(get->buffer(), "  1");
}

TEST(Get, TimePictureSkipsAndKeepsItsColon) {
  TestRuntime t;
  SET(SET_BELL, true);
  auto [var, get] = field("00:00", "99:99");
  EXPECT_EQ(get->type(), "C");
  get->setFocus();
  overstrike(*get, "12");
  EXPECT_EQ(get->pos, 4);
  get->overstrike('a');
  EXPECT_EQ(t.hl.bells, 1);
  overstrike(*get, "30");
  EXPECT_EQ(get->buffer(), "12:30");
  EXPECT_TRUE(get->typeOut());
  get->_assign();
  EXPECT_EQ(var->str(), "12:30");

  get->home();
  get->insert('9');  // the digits move on past the colon; the last drops off
  EXPECT_EQ(get->buffer(), "91:23");
  get->right();
  EXPECT_EQ(get->pos, 4);
  get->backSpace();
  EXPECT_EQ(get->buffer(), "92:3 ");
  EXPECT_EQ(get->pos, 2);
  get->del();
  EXPECT_EQ(get->buffer(), "93:  ");
  get->left();
  get->left();
  EXPECT_TRUE(get->typeOut());
  EXPECT_EQ(get->pos, 1);
}

TEST(Get, BangUpperCasesAndAShortPictureKeepsTheRest) {
  TestRuntime t;
  auto [mode, get] = field("C", "!");
  get->setFocus();
  get->overstrike('m');
  EXPECT_EQ(get->buffer(), "M");
  EXPECT_TRUE(get->typeOut());
  get->_assign();
  EXPECT_EQ(mode->str(), "M");

  auto [word, head] = field("abc", "!");
  EXPECT_EQ(head->buffer(), "A");
  head->setFocus();
  head->overstrike('x');
  head->_assign();
  EXPECT_EQ(word->str(), "Xbc");
}

TEST(Get, DecimalPointInANumber) {
  TestRuntime t;
  auto [var, get] = field(3, "9999.99");
  EXPECT_EQ(get->buffer(), "   3.00");
  get->setFocus();
  get->condClear();  // "." as the first key starts a new number
  get->toDecPos();
  EXPECT_EQ(get->buffer(), "    .  ");
  EXPECT_EQ(get->pos, 6);
  get->overstrike('5');
  get->_assign();
  EXPECT_DOUBLE_EQ(var->num(), 0.5);

  get->setFocus();
  overstrike(*get, "042");
  get->condClear();  // not the first key: keeps the digits
  get->toDecPos();
  EXPECT_EQ(get->buffer(), "  42.  ");
  get->overstrike('7');
  get->_assign();
  EXPECT_DOUBLE_EQ(var->num(), 42.7);

  auto [whole, level] = field(1, "999");
  level->setFocus();
  overstrike(*level, "-5");
  level->toDecPos();  // no decimals: the number closes up to the right
  EXPECT_EQ(level->buffer(), " -5");
  EXPECT_EQ(level->pos, 3);
  level->_assign();
  EXPECT_EQ(whole->num(), -5);
}

TEST(Get, ShowsUnselectedWithoutFocusAndEnhancedWithIt) {
  TestRuntime t;
  SETCOLOR("\"G+/B,W+/Y,R+/W+,,W+/BG\"");
  auto [var, get] = field("C", "!", 8, 38);
  SETPOS(3, 3);
  get->display();
  EXPECT_EQ(t.rowText(8).substr(38, 1), "C");
  EXPECT_EQ(t.attrAt(8, 38), attrOf("W+/BG"));
  EXPECT_EQ(ROW(), 3);  // the cursor stays where it was
  EXPECT_EQ(COL(), 3);

  get->setFocus();
  EXPECT_EQ(t.attrAt(8, 38), attrOf("W+/Y"));
  EXPECT_EQ(ROW(), 8);
  EXPECT_EQ(COL(), 38);
  get->killFocus();
  EXPECT_EQ(t.attrAt(8, 38), attrOf("W+/BG"));

  auto own = Get::New(9, 0, nullptr, {}, "", "R/W,B/G");
  EXPECT_EQ(own->colorSpec(), "R/W,B/G");
}

TEST(Get, PosInBufferCoversTheFieldOnly) {
  TestRuntime t;
  auto [var, get] = field(0, "9999999", 4, 48);
  EXPECT_EQ(get->posInBuffer(4, 48), 1);
  EXPECT_EQ(get->posInBuffer(4, 54), 7);
  EXPECT_EQ(get->posInBuffer(4, 55), 0);
  EXPECT_EQ(get->posInBuffer(4, 47), 0);
  EXPECT_EQ(get->posInBuffer(5, 50), 0);
}

TEST(Get, DatesAreCheckedAndNeverStoredWhenImpossible) {
  TestRuntime t;
  SET(SET_DATEFORMAT, "mm/dd/yyyy");
  auto [var, get] = field(makeDate(2026, 12, 7), "");
  EXPECT_EQ(get->buffer(), "12/07/2026");
  get->setFocus();
  overstrike(*get, "0230");
  EXPECT_EQ(get->buffer(), "02/30/2026");
  EXPECT_TRUE(get->badDate());
  get->_assign();
  EXPECT_EQ(var->date(), makeDate(2026, 12, 7));

  get->home();
  overstrike(*get, "0228");
  EXPECT_FALSE(get->badDate());
  get->_assign();
  EXPECT_EQ(var->date(), makeDate(2026, 2, 28));

  get->home();
  get->delEnd();
  EXPECT_EQ(get->buffer(), "  /  /    ");
  EXPECT_FALSE(get->badDate());  // empty is not impossible
  get->_assign();
  EXPECT_EQ(var->date(), Date{});
}

// The field reads a two-digit year as the text functions do, and the day it
// is edited on changes nothing.
TEST(Get, TwoDigitYearsRead1950To2049OnAnyDay) {
  const struct {
    const char* typed;
    int year;
  } years[] = {{"00", 2000}, {"48", 2048}, {"49", 2049}, {"50", 1950}, {"51", 1951}, {"99", 1999}};
  for (const int today : {1990, 2026, 2080}) {
    TestRuntime t(LocalTime{today, 6, 1, 12, 0, 0});
    SET(SET_DATEFORMAT, "mm/dd/yy");
    for (const auto& y : years) {
      auto [var, get] = field(makeDate(2026, 12, 7), "");
      get->setFocus();
      overstrike(*get, std::string("0615") + y.typed);
      EXPECT_FALSE(get->badDate()) << y.typed;
      get->_assign();
      EXPECT_EQ(var->date(), makeDate(y.year, 6, 15)) << y.typed << " typed in " << today;
    }
  }
}

TEST(Get, LogicalsTakeOnlyTheirLetters) {
  TestRuntime t;
  auto [var, get] = field(true, "Y");
  EXPECT_EQ(get->buffer(), "Y");
  get->setFocus();
  get->overstrike('x');
  EXPECT_EQ(get->buffer(), "Y");
  get->overstrike('f');
  EXPECT_EQ(get->buffer(), "N");
  get->_assign();
  EXPECT_FALSE(var->log());
  EXPECT_EQ(field(false, "").get->buffer(), "F");
}

TEST(Get, WordsMoveAndDelete) {
  TestRuntime t;
  auto [var, get] = field("big red dog", "");
  get->setFocus();
  get->wordRight();
  EXPECT_EQ(get->pos, 5);
  get->wordRight();
  get->wordRight();  // past the last word: after the text
  EXPECT_EQ(get->pos, 11);
  get->wordLeft();
  EXPECT_EQ(get->pos, 9);
  get->delWordLeft();
  EXPECT_EQ(get->buffer(), "big dog    ");
  EXPECT_EQ(get->pos, 5);
  get->delWordRight();
  EXPECT_EQ(get->buffer(), "big        ");
  get->home();
  get->backSpace();  // nothing before the first position
  EXPECT_EQ(get->buffer(), "big        ");
  get->_end();
  EXPECT_EQ(get->pos, 4);

  auto [none, empty] = field("", "");
  empty->setFocus();
  EXPECT_TRUE(empty->typeOut());  // no editable position at all
  empty->insert('a');
  EXPECT_EQ(empty->buffer(), "");
}

TEST(Get, ReachableByName) {
  TestRuntime t;
  auto var = makeVar(Item(5));
  auto accessor = makeBlock("{|x| v}", [var](std::span<const Item> a) {
    if (!a.empty()) *var = a[0];
    return *var;
  });
  const Item made =
      GET().object()->send("new", std::vector<Item>{4, 33, Item(accessor), "nLevel", "999"});
  auto get = made.as<Get>();
  ASSERT_TRUE(get);
  EXPECT_EQ(get->getMember("NAME").str(), "nLevel");
  EXPECT_EQ(get->getMember("type").str(), "N");

  get->send("setFocus", {});
  get->send("insert", std::vector<Item>{"4"});
  EXPECT_TRUE(get->getMember("Changed").log());
  EXPECT_EQ(get->getMember("buffer").str(), "4  ");
  get->send("_assign", {});
  EXPECT_EQ(get->send("varGet", {}).num(), 4);
  get->setMember("exitState", 5);
  EXPECT_EQ(get->exitState, 5);
  EXPECT_EQ(get->send("posInBuffer", std::vector<Item>{4, 35}).num(), 3);
}
