#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"

using namespace krx;

TEST(SetColor, ParsesPairsAndReturnsThePreviousSpec) {
  TestRuntime t;
  Screen& s = t.rt.screen;

  // A quoted spec means the pairs between the quotes; an empty pair keeps
  // its slot; Y is bright brown; letters combine in any order.
  EXPECT_EQ(SETCOLOR("\"G+/B,W+/Y,R+/W+,,W+/BG\""), "W/N,N/W,N/N,N/N,N/W");
  EXPECT_EQ(s.colors[CLR_STANDARD], makeAttr(10, 1));
  EXPECT_EQ(s.colors[CLR_ENHANCED], makeAttr(15, 14));
  EXPECT_EQ(s.colors[CLR_BORDER], makeAttr(12, 15));
  EXPECT_EQ(s.colors[CLR_BACKGROUND], 0x07);
  EXPECT_EQ(s.colors[CLR_UNSELECTED], makeAttr(15, 3));

  EXPECT_EQ(SETCOLOR("\"GR+/G,W+/GB,W/B,,B/W\""), "G+/B,W+/GR+,R+/W+,W/N,W+/BG");
  EXPECT_EQ(s.colors[CLR_STANDARD], makeAttr(14, 2));
  EXPECT_EQ(s.colors[CLR_ENHANCED], makeAttr(15, 3));
  EXPECT_EQ(SETCOLOR(), "GR+/G,W+/BG,W/B,W/N,B/W");

  // The returned spec puts the colours back exactly.
  const std::string saved = SETCOLOR("n/w");
  EXPECT_EQ(s.colors[CLR_STANDARD], makeAttr(0, 7));
  SETCOLOR(saved);
  EXPECT_EQ(s.colors[CLR_STANDARD], makeAttr(14, 2));
  EXPECT_EQ(s.colors[CLR_UNSELECTED], makeAttr(1, 7));

  // Blink shows as a bright background; numbers are taken as colours; a pair
  // that is not a colour keeps its slot.
  SETCOLOR("W*/B,15/1,Q/Z");
  EXPECT_EQ(s.colors[CLR_STANDARD], makeAttr(7, 9));
  EXPECT_EQ(s.colors[CLR_ENHANCED], makeAttr(15, 1));
  EXPECT_EQ(s.colors[CLR_BORDER], makeAttr(7, 1));

  Attr attr = 0;
  EXPECT_TRUE(parseColorPair("W+", attr));
  EXPECT_EQ(attr, makeAttr(15, 0));
  EXPECT_FALSE(parseColorPair("W/X", attr));
  EXPECT_FALSE(parseColorPair("16/0", attr));
}

TEST(ScreenOutput, DevoutClipsAtTheEdgesAndMovesTheCursor) {
  TestRuntime t;
  SETCOLOR("W+/B");
  DEVPOS(0, 77);
  DEVOUT("abcdef");
  EXPECT_EQ(t.rowText(0).substr(77), "abc");
  EXPECT_EQ(t.rowText(1), std::string(80, ' '));
  EXPECT_EQ(ROW(), 0);
  EXPECT_EQ(COL(), 83);
  EXPECT_EQ(t.attrAt(0, 79), makeAttr(15, 1));

  DEVPOS(24, 79);
  DEVOUT("Z");
  EXPECT_EQ(t.rowText(MAXROW()).back(), 'Z');

  DEVPOS(5, -2);
  DEVOUT("abcd");
  EXPECT_EQ(t.rowText(5).substr(0, 3), "cd ");
  EXPECT_EQ(COL(), 2);

  // Off the screen nothing is written, and an unchanged screen keeps its
  // version so that a backend can skip the pass.
  const std::string before = t.screenText();
  const auto version = t.rt.screen.version();
  DEVPOS(25, 0);
  DEVOUT("lost");
  DEVPOS(0, 77);
  DEVOUT("abc");
  EXPECT_EQ(t.screenText(), before);
  EXPECT_EQ(t.rt.screen.version(), version);

  // DISPOUT goes on from the cursor.
  SETPOS(7, 10);
  DISPOUT("ab", makeAttr(4, 0));
  DISPOUT("cd", makeAttr(2, 0));
  EXPECT_EQ(t.rowText(7).substr(10, 4), "abcd");
  EXPECT_EQ(t.attrAt(7, 13), makeAttr(2, 0));
  EXPECT_EQ(COL(), 14);
}

TEST(ScreenOutput, ScrollBlanksInTheStandardColourWithClippedDefaults) {
  TestRuntime t;
  for (int r = 0; r <= MAXROW(); ++r) {
    DEVPOS(r, 0);
    DEVOUT(std::string(80, 'x'));
  }
  SETCOLOR("GR+/G");
  SETPOS(3, 4);
  SCROLL(10, 5);
  EXPECT_EQ(t.rowText(9), std::string(80, 'x'));
  EXPECT_EQ(t.rowText(10), std::string(5, 'x') + std::string(75, ' '));
  EXPECT_EQ(t.rowText(24), std::string(5, 'x') + std::string(75, ' '));
  EXPECT_EQ(t.attrAt(24, 79), makeAttr(14, 2));
  EXPECT_EQ(t.attrAt(24, 4), 0x07);
  EXPECT_EQ(ROW(), 3);  // the cursor stays
  EXPECT_EQ(COL(), 4);

  SCROLL(-3, 70, 1, 200);
  EXPECT_EQ(t.rowText(0), std::string(70, 'x') + std::string(10, ' '));
  EXPECT_EQ(t.rowText(2), std::string(80, 'x'));

  SCROLL();
  for (int r = 0; r <= MAXROW(); ++r) EXPECT_EQ(t.rowText(r), std::string(80, ' ')) << r;
  EXPECT_EQ(t.attrAt(0, 0), makeAttr(14, 2));
}

TEST(ScreenText, ShowsBlockCharactersAsTheirShapes) {
  TestRuntime t;
  DEVPOS(0, 0);
  DEVOUT(std::string("\xB1\xDB\xDC\xDF\xFE\x01", 6));
  EXPECT_EQ(t.rowText(0).substr(0, 18), "▒█▄▀■☺");
  EXPECT_EQ(cp437ToUnicode(0xC9), U'╔');
  EXPECT_EQ(utf8ToCp437("█ é ✓"), std::string("\xDB \x82 ?", 5));
  EXPECT_EQ(cp437ToUtf8(std::string("a\r\n\xDB", 4)), "a\r\n█");
  // Malformed UTF-8 is replaced, never read past its end.
  EXPECT_EQ(utf8ToCp437(std::string("a\xE2\x96", 3)), "a??");
}

TEST(Keyboard, InkeyTimesOutOnTheVirtualClockAndKeepsLastKey) {
  TestRuntime t;
  t.hl.keys({'a'});
  t.hl.keyAt(5.5, K_ESC);

  EXPECT_EQ(INKEY(0), 'a');
  EXPECT_EQ(LASTKEY(), 'a');

  // Time-outs return 0, leave LASTKEY alone and move the clock on.
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(INKEY(1), 0);
    EXPECT_DOUBLE_EQ(t.hl.now(), i);
  }
  EXPECT_EQ(LASTKEY(), 'a');
  EXPECT_EQ(INKEY(1), K_ESC);
  EXPECT_DOUBLE_EQ(t.hl.now(), 5.5);

  EXPECT_EQ(INKEY(0.25), 0);
  EXPECT_DOUBLE_EQ(t.hl.now(), 5.75);
  EXPECT_EQ(INKEY(), 0);  // no argument: no wait at all
  EXPECT_DOUBLE_EQ(t.hl.now(), 5.75);
  EXPECT_EQ(LASTKEY(), K_ESC);

  // INKEY(0) waits for a key due later, however far.
  t.hl.keyAt(3600, K_SH_TAB);
  EXPECT_EQ(INKEY(0), K_SH_TAB);
  EXPECT_DOUBLE_EQ(t.hl.now(), 3600);

  EXPECT_THROW(INKEY(0), ScriptExhausted);
}

TEST(Keyboard, StuffedKeysReplaceTheTypeahead) {
  TestRuntime t;
  t.hl.keys({K_ESC, '+'});  // typed while the program was busy
  t.hl.keyAt(5, K_ENTER);   // typed later
  _KEYBOARD("ab");
  _KEYBOARD("x");  // replaces what was stuffed before
  EXPECT_EQ(INKEY(0.1), 'x');
  EXPECT_EQ(LASTKEY(), 120);
  EXPECT_EQ(t.hl.now(), 0);
  EXPECT_EQ(INKEY(0.1), 0);  // the type-ahead is gone
  EXPECT_EQ(INKEY(0), K_ENTER);
  EXPECT_EQ(t.hl.now(), 5);

  _KEYBOARD(std::string(1, '\xE9'));
  EXPECT_EQ(INKEY(0), 0xE9);  // bytes above 127 are codes, not negative
}

TEST(Keyboard, SetkeyAndSetmouseReturnThePreviousSetting) {
  TestRuntime t;
  const Item block = makeBlock("{|| 1}", [](std::span<const Item>) { return Item(1); });
  EXPECT_TRUE(SETKEY(K_CTRL_HOME, block).isNil());
  EXPECT_TRUE(SETKEY(K_CTRL_HOME).same(block));
  EXPECT_TRUE(SETKEY(K_CTRL_HOME, Item()).same(block));
  EXPECT_TRUE(SETKEY(K_CTRL_HOME).isNil());

  EXPECT_FALSE(SETMOUSE());
  EXPECT_FALSE(SETMOUSE(true));
  EXPECT_TRUE(SETMOUSE(false));
  EXPECT_FALSE(SETMOUSE());
}

TEST(Clock, SecondsRunOnTheMonotonicClockWhateverTheWallClockDoes) {
  TestRuntime t(LocalTime{2026, 12, 31, 23, 59, 0});
  EXPECT_DOUBLE_EQ(SECONDS(), 86340);
  EXPECT_EQ(TIME(), "23:59:00");

  // A clock step shows in TIME() but not in SECONDS().
  t.hl.stepWallClock(-3600);
  EXPECT_DOUBLE_EQ(SECONDS(), 86340);
  EXPECT_EQ(TIME(), "22:59:00");
  t.hl.stepWallClock(3600);

  // Past midnight SECONDS() starts again from 0 and the date rolls over,
  // into the next year.
  t.hl.advance(90.5);
  EXPECT_DOUBLE_EQ(SECONDS(), 30.5);
  EXPECT_EQ(TIME(), "00:00:30");
  const DateParts today = splitDate(DATE());
  EXPECT_EQ(today.year, 2027);
  EXPECT_EQ(today.month, 1);
  EXPECT_EQ(today.day, 1);
}

TEST(Clock, DatesInTheFormatOfTheDateSetting) {
  TestRuntime t;
  EXPECT_EQ(makeDate(2000, 1, 1).julian, 2451545);
  const Date leap = makeDate(2024, 2, 29);
  EXPECT_EQ(splitDate(Date{leap.julian + 1}).month, 3);

  const Date d = makeDate(2007, 12, 31);
  SET(SET_DATEFORMAT, "mm/dd/yy");
  EXPECT_EQ(DTOC(d), "12/31/07");
  SET(SET_DATEFORMAT, "mm/dd/yyyy");
  EXPECT_EQ(DTOC(d), "12/31/2007");
  EXPECT_EQ(DTOC(makeDate(2026, 3, 5)), "03/05/2026");
  SET(SET_DATEFORMAT, "dd.mm.yyyy");
  EXPECT_EQ(DTOC(d), "31.12.2007");
  EXPECT_EQ(DTOC(Date{}), "  .  .    ");
  EXPECT_EQ(DTOC(DATE()), "07.12.2026");  // the headless clock's default day
}

TEST(Sound, TonesFollowOneAnotherInTicks) {
  TestRuntime t;
  TONE(1000, 2);
  TONE(2000, 3);
  ASSERT_EQ(t.hl.tones.size(), 2u);
  EXPECT_DOUBLE_EQ(t.hl.tones[0].seconds, 2 / 18.2);
  EXPECT_DOUBLE_EQ(t.hl.tones[1].at, 2 / 18.2);
  EXPECT_DOUBLE_EQ(t.hl.tones[1].hz, 2000);
  EXPECT_DOUBLE_EQ(t.hl.now(), 5 / 18.2);
}

TEST(ConsoleStream, QoutWritesTheAlternateFileAndTheScreen) {
  TestRuntime t;
  const auto path =
      std::filesystem::path(::testing::TempDir()) / ("qout_" + std::to_string(::getpid()) + ".log");
  SET(SET_ALTFILE, path.string());
  SET(SET_ALTERNATE, "ON");
  SETPOS(3, 0);
  QOUT({"ERROR LOG of", "x"});
  QQOUT({"a", "b"});
  QOUT();
  SET(SET_ALTERNATE, "OFF");
  QOUT({"not in the file"});
  SET(SET_ALTFILE, "");
  EXPECT_EQ(readFile(path), "\r\nERROR LOG of xa b\r\n");
  std::filesystem::remove(path);

  EXPECT_EQ(t.rowText(4).substr(0, 20), "ERROR LOG of xa b   ");
  EXPECT_EQ(t.rowText(6).substr(0, 15), "not in the file");
  EXPECT_EQ(ROW(), 6);
  EXPECT_EQ(COL(), 15);

  // With the console off the screen is left alone.
  SET(SET_CONSOLE, false);
  const std::string before = t.screenText();
  QOUT({"hidden"});
  EXPECT_EQ(t.screenText(), before);
}

TEST(ConsoleStream, ScrollsAtTheBottomAndWrapsAtTheRightEdge) {
  TestRuntime t;
  DEVPOS(0, 0);
  DEVOUT("top line");
  DEVPOS(24, 0);
  DEVOUT("last line");
  QOUT({std::string(85, 'w')});
  EXPECT_EQ(t.rowText(0), std::string(80, ' '));  // "top line" scrolled away
  EXPECT_EQ(t.rowText(22).substr(0, 9), "last line");
  EXPECT_EQ(t.rowText(23), std::string(80, 'w'));
  EXPECT_EQ(t.rowText(24).substr(0, 6), "wwwww ");
  EXPECT_EQ(COL(), 5);
  QOUT();
  EXPECT_EQ(t.rowText(21).substr(0, 9), "last line");
  EXPECT_EQ(t.rowText(24), std::string(80, ' '));
  EXPECT_EQ(ROW(), 24);
}
