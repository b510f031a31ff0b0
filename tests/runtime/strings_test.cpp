#include "runtime/lang/strings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/console/settings.h"
#include "runtime/lang/error.h"
#include "runtime/lang/object.h"
#include "support/test_runtime.h"

using namespace krx;

TEST(NumberFns, ValReadsTheLeadingNumberAndIntTruncates) {
  EXPECT_EQ(VAL(" 9"), 9);
  EXPECT_EQ(VAL("     "), 0);
  EXPECT_EQ(VAL("12:34"), 12);
  EXPECT_EQ(VAL("  -3.5x"), -3.5);
  EXPECT_EQ(VAL("1.2.3"), 1.2);
  EXPECT_EQ(VAL("-"), 0);
  EXPECT_FALSE(std::signbit(VAL("-0")));
  EXPECT_EQ(INT(-2.9), -2);
  EXPECT_EQ(INT(222.9999999999999), 222);
}

TEST(NumberFns, RoundGoesHalfAwayFromZeroOnTheDecimalAsWritten) {
  EXPECT_EQ(ROUND(2.5, 0), 3);
  EXPECT_EQ(ROUND(-2.5, 0), -3);
  EXPECT_FALSE(std::signbit(ROUND(-0.4, 0)));
  EXPECT_EQ(ROUND(599.5, 0), 600);
  // Binary values just below the half still round as their decimal reads.
  EXPECT_EQ(ROUND(2.675, 2), 2.68);
  EXPECT_EQ(ROUND(1.005, 2), 1.01);
  EXPECT_EQ(ROUND(-1.005, 2), -1.01);
  EXPECT_EQ(ROUND(0.1 + 0.2, 2), 0.3);
  EXPECT_EQ(ROUND(9.995, 2), 10);
  EXPECT_EQ(ROUND(1234.5678, -2), 1200);
  EXPECT_EQ(ROUND(1250, -2), 1300);
}

TEST(NumberFns, StrAlignsRoundsAndOverflows) {
  EXPECT_EQ(STR(5, 2, 0), " 5");
  EXPECT_EQ(STR(24, 2, 0), "24");
  EXPECT_EQ(STR(100, 2, 0), "**");
  EXPECT_EQ(STR(-5, 2, 0), "-5");
  EXPECT_EQ(STR(-10, 2, 0), "**");
  EXPECT_EQ(STR(2.5, 1, 0), "3");
  EXPECT_EQ(STR(3.14159, 6, 2), "  3.14");
  EXPECT_EQ(STR(2.675, 5, 2), " 2.68");
  EXPECT_EQ(STR(9.995, 4, 2), "****");
  EXPECT_EQ(STR(0.05, 4, 1), " 0.1");
  EXPECT_EQ(STR(std::numeric_limits<double>::quiet_NaN(), 3, 0), "***");
  // Without a length: ten wide, two decimals for a fraction, never asterisks.
  EXPECT_EQ(STR(12), "        12");
  EXPECT_EQ(STR(2.5), "      2.50");
  EXPECT_EQ(STR(12345678901.0), "12345678901");
}

TEST(TextFns, OutOfRangeArgumentsClampInsteadOfFailing) {
  EXPECT_EQ(SUBSTR("abc", 0, 2), "ab");
  EXPECT_EQ(SUBSTR("abc", -2), "bc");
  EXPECT_EQ(SUBSTR("abc", 5), "");
  EXPECT_EQ(SUBSTR("abc", 2, -1), "");
  EXPECT_EQ(RIGHT("abc", 9), "abc");
  EXPECT_EQ(PADL("abcd", 2), "ab");
  EXPECT_EQ(SPACE(-1), "");
  EXPECT_EQ(STRTRAN("aaa", "aa", "b"), "ba");
  EXPECT_EQ(STRTRAN("abc", "", "x"), "abc");
  EXPECT_EQ(CHR(256 + 65), "A");
  EXPECT_EQ(ASC("\xdb"), 219);
}

TEST(TextFns, TransformDefaultFormAndPictures) {
  TestRuntime t;
  EXPECT_EQ(TRANSFORM(63, ""), "        63");
  EXPECT_EQ(TRANSFORM(true, ""), "T");
  EXPECT_EQ(TRANSFORM("abc", "@!"), "ABC");
  EXPECT_EQ(TRANSFORM(1234.5, "9,999.99"), "1,234.50");
  EXPECT_EQ(TRANSFORM(5, "9,999"), "    5");
  EXPECT_EQ(TRANSFORM(12345, "999"), "***");
}

TEST(MemoLines, WrapAtBlanksWithinTheWidth) {
  EXPECT_EQ(MLCOUNT("", 50), 0);
  EXPECT_EQ(MEMOLINE("hello world", 50, 1), PADR("hello world", 50));
  EXPECT_EQ(MEMOLINE("hello world", 50, 2), "");

  EXPECT_EQ(MLCOUNT("the quick brown fox", 10), 2);
  EXPECT_EQ(MEMOLINE("the quick brown fox", 10, 1), "the quick ");
  EXPECT_EQ(MEMOLINE("the quick brown fox", 10, 2), "brown fox ");
  // A blank just past the width ends the line at the width.
  EXPECT_EQ(MEMOLINE("abcde fghij", 5, 1), "abcde");
  EXPECT_EQ(MEMOLINE("abcde fghij", 5, 2), "fghij");
  // A word longer than the width is cut.
  EXPECT_EQ(MLCOUNT("abcdefghijkl", 5), 3);
  EXPECT_EQ(MEMOLINE("   abcdefghij", 5, 1), "   ab");
}

TEST(MemoLines, HonourLineBreaksAndKeepEveryWord) {
  EXPECT_EQ(MLCOUNT("ab\r\ncd\nef", 10), 3);
  EXPECT_EQ(MLCOUNT("ab\n\ncd", 10), 3);
  EXPECT_EQ(MEMOLINE("ab\n\ncd", 4, 2), "    ");
  EXPECT_EQ(MLCOUNT("ab\n", 10), 1);

  std::string text;
  for (int i = 0; i < 30; ++i) text += std::string(static_cast<std::size_t>(i % 7 + 1), 'w') + " ";
  std::string joined;
  for (int i = 1; i <= MLCOUNT(text, 12); ++i) {
    std::string line = MEMOLINE(text, 12, i);
    ASSERT_EQ(line.size(), 12u);
    joined += RTRIM(line) + " ";
  }
  EXPECT_EQ(joined, text);
}

TEST(ValueText, Var2CharShowsEveryType) {
  TestRuntime t;
  EXPECT_EQ(VAR2CHAR("abc"), "abc");
  EXPECT_EQ(VAR2CHAR(42), "42");
  EXPECT_EQ(VAR2CHAR(-0.0), "0");
  EXPECT_EQ(VAR2CHAR(2.1666666666666665), "2.1666666666666665");
  EXPECT_EQ(VAR2CHAR(true), ".T.");
  EXPECT_EQ(VAR2CHAR(Item()), "NIL");
  EXPECT_EQ(VAR2CHAR(makeDate(2007, 12, 31)), "12/31/07");
  EXPECT_EQ(VAR2CHAR(makeArray({1, "a", makeArray({false})})), "{1, \"a\", {.F.}}");
  EXPECT_EQ(VAR2CHAR(makeBlock("{|e| Break(e)}", [](std::span<const Item>) { return Item(); })),
            "{|e| Break(e)}");
  EXPECT_EQ(VAR2CHAR(makeError(EG_ARG, "x")), "ERROR");

  // An array that holds itself ends at the depth cap.
  ArrayRef loop = makeArray({1});
  loop->push_back(loop);
  std::string text = VAR2CHAR(loop);
  EXPECT_EQ(text.substr(0, 4), "{1, ");
  EXPECT_NE(text.find("{...}"), std::string::npos);
  loop->clear();  // break the cycle so the array is freed
}

TEST(ValueText, DisplayFormAsTheConsoleWritesIt) {
  TestRuntime t;
  EXPECT_EQ(displayForm(1), "         1");
  EXPECT_EQ(displayForm(2.5), "      2.50");
  EXPECT_EQ(displayForm(false), ".F.");
  EXPECT_EQ(displayForm(Item()), "NIL");
  EXPECT_EQ(displayForm(makeArray({1})), "{...}");
  EXPECT_EQ(displayForm(Date{}), "  /  /  ");
  SET(SET_DATEFORMAT, "mm/dd/yyyy");
  EXPECT_EQ(displayForm(makeDate(2007, 12, 31)), "12/31/2007");
}

TEST(DateFns, CalendarFormatsAndParsing) {
  EXPECT_EQ(makeDate(2000, 1, 1).julian, 2451545);
  EXPECT_EQ(makeDate(2023, 2, 29), Date{});
  EXPECT_EQ(makeDate(2024, 3, 1).julian - makeDate(2024, 2, 28).julian, 2);
  DateParts p = splitDate(makeDate(1999, 12, 31));
  EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 19991231);
  EXPECT_EQ(formatDate(makeDate(2026, 12, 7), "dd.mm.yyyy"), "07.12.2026");
  EXPECT_EQ(parseDate("12/31/07", "mm/dd/yy"), makeDate(2007, 12, 31));
  EXPECT_EQ(parseDate("01/01/50", "mm/dd/yy"), makeDate(1950, 1, 1));
  EXPECT_EQ(parseDate("  /  /  ", "mm/dd/yy"), Date{});
  EXPECT_EQ(parseDate("02/30/24", "mm/dd/yy"), std::nullopt);
  EXPECT_EQ(parseDate("02/  /24", "mm/dd/yy"), std::nullopt);
}

TEST(DateFns, TwoDigitYearsRead1950To2049) {
  const struct {
    const char* text;
    std::optional<Date> date;
  } cases[] = {
      {"06/15/00", makeDate(2000, 6, 15)}, {"06/15/48", makeDate(2048, 6, 15)},
      {"06/15/49", makeDate(2049, 6, 15)}, {"06/15/50", makeDate(1950, 6, 15)},
      {"06/15/51", makeDate(1951, 6, 15)}, {"06/15/99", makeDate(1999, 6, 15)},
      {"02/29/00", makeDate(2000, 2, 29)},  // 2000, a leap year, not 1900
      {"02/29/50", std::nullopt},           // 1950, not a leap year
      {" 6/15/ 9", makeDate(2009, 6, 15)},  // blanks among the digits, as typed
      {"06/15/  ", std::nullopt},           // no year
  };
  for (const auto& c : cases) EXPECT_EQ(parseDate(c.text, "mm/dd/yy"), c.date) << c.text;
}

TEST(ValueText, EmptyByType) {
  for (const Item& v :
       {Item(), Item(0), Item(" \t\r\n"), Item(false), Item(Date{}), Item(makeArray())})
    EXPECT_TRUE(EMPTY(v)) << VAR2CHAR(v);
  for (const Item& v : {Item("a"), Item(-1), Item(makeArray({Item()}))})
    EXPECT_FALSE(EMPTY(v)) << VAR2CHAR(v);
}
