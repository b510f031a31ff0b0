#include "app/game/structurefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/structure_entries.h"
#include "support/temp_dir.h"

namespace potclock {
namespace {

using Result = StructureRead;

std::string problemsOf(const Result& r) {
  std::string all;
  if (!r.ok())
    for (const std::string& p : r.failure()) all += p + "\n";
  return all;
}

std::string problemsOf(const std::string& text) {
  return problemsOf(parseStructure(text, "f.toml"));
}

Structure parsed(const std::string& text) {
  const Result r = parseStructure(text, "f.toml");
  EXPECT_EQ(problemsOf(r), "") << text;
  return r.ok() ? r.value() : Structure{};
}

using entries::pause;

// As the file gives a level: blinds, ante, length.
Entry level(long small, long big, long ante, int length) {
  return entries::level(small, big, length, ante);
}

TEST(StructureFile, ReadsLevelsBreaksAntesAndLengths) {
  EXPECT_EQ(
      parsed("name = \"Friday deep stack\"\nminutes = 20\n"
             "[[level]]\nblinds = [25, 50]\n"
             "[[level]]\nblinds = [100, 200]\nante = 25\nminutes = 30\n"
             "[[level]]\nbreak = 15\nnote = \"Colour up the 25s\"\n"),
      (Structure{"Friday deep stack",
                 false,
                 {level(25, 50, 0, 20), level(100, 200, 25, 30), pause(15, "Colour up the 25s")}}));
  EXPECT_EQ(parsed("hands = 12\n[[level]]\nblinds = [1, 2]\n[[level]]\nbreak = 5\n"
                   "[[level]]\nblinds = [2, 4]\nhands = 8\n"),
            (Structure{"", true, {level(1, 2, 0, 12), pause(5, ""), level(2, 4, 0, 8)}}));
  // Without a length at the top, each level gives its own.
  EXPECT_EQ(parsed("[[level]]\nblinds = [1, 2]\nminutes = 7\n"),
            (Structure{"", false, {level(1, 2, 0, 7)}}));
}

std::string repeated(std::string_view part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

TEST(StructureFile, EachProblemWithItsLineAndColumn) {
  struct Case {
    std::string text, problems;
  };
  const Case cases[] = {
      {"minutes = 20\nminute = 5\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:2:1: unknown key 'minute'; expected name, minutes, hands, start, [tournament], "
       "[warnings] or [[level]]\n"},
      {"start = \"7pm\"\nminutes = 20\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:1:9: start is text; expected a time of day in quotes, as start = \"19:30\"\n"},
      {"minutes = 20\n[warnings]\nminute = 1\nbell = true\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:3:10: minute is 1; expected true or false\n"
       "f.toml:4:1: unknown key 'bell' in [warnings]; expected minute, break or "
       "late-registration\n"},
      {"minutes = 20\n[[level]]\nblind = [1, 2]\n",
       "f.toml:2:1: a level without blinds; expected blinds = [small, big] or break = MINUTES\n"
       "f.toml:3:1: unknown key 'blind' in a level; expected blinds, ante or minutes\n"},
      {"minutes = 20\n[[level]]\nbreak = 5\nnotes = \"x\"\nblinds = [1, 2]\n",
       "f.toml:4:1: unknown key 'notes' in a break; expected break or note\n"
       "f.toml:5:1: a break has no blinds; expected only break = MINUTES and note\n"},
      {"minutes = 20\n[[level]]\nblinds = [1, 2]\nhands = 5\nnote = \"x\"\n",
       "f.toml:4:1: this structure counts minutes, not hands; expected minutes = N (or hands "
       "= N at the top to count hands)\n"
       "f.toml:5:1: a level has no note; expected a note only in a break\n"},
      {"hands = 9\n[[level]]\nblinds = [1, 2]\nminutes = 5\n",
       "f.toml:4:1: this structure counts hands, not minutes; expected hands = N\n"},
      {"minutes = 20\nhands = 9\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:2:9: both minutes and hands at the top; expected one of them\n"},
      {"name = 5\nminutes = 20.0\n[[level]]\nblinds = [1, 2]\nante = true\n",
       "f.toml:1:8: name is 5; expected text in quotes\n"
       "f.toml:2:11: minutes is a decimal number; expected a whole number from 1 to 999\n"
       "f.toml:5:8: ante is true; expected a whole number from 0 to 999,999,999\n"},
      {"minutes = 20\n[[level]]\nblinds = 100\n[[level]]\nblinds = [1, 2, 3]\n"
       "[[level]]\nblinds = [\"1\", 2]\n",
       "f.toml:3:10: blinds is 100; expected [small, big], two whole numbers\n"
       "f.toml:5:10: blinds has 3 values; expected [small, big], two whole numbers\n"
       "f.toml:7:11: small blind is text; expected a whole number from 1 to 999,999,999\n"},
      {"[[level]]\nblinds = [1, 2]\n",
       "f.toml:1:1: a level without a length; expected minutes = N in it or at the top\n"},
      {"name = \"x\"\nminutes = 5\n", "f.toml:1:1: no levels; expected at least one [[level]]\n"},
      {"", "f.toml:1:1: no levels; expected at least one [[level]]\n"},
      {"minutes = 5\n[level]\nblinds = [1, 2]\n",
       "f.toml:2:1: level is a table; expected [[level]] entries (two brackets)\n"},
      {"minutes = 20\n[[level]]\nblinds = [1, 2\n",
       "f.toml:3:16: not valid TOML: error while parsing array: encountered end-of-file\n"},
      // The common slips, told in the file's terms with what to write.
      {"minutes = 5\n[[level]]\nblinds = [1, 2]\n[level]\nblinds = [2, 4]\n",
       "f.toml:4:1: [level] with one bracket; write [[level]] for each level\n"},
      {"minutes = 5\n[[level]]\nblinds = [1, 2]\nblinds = [2, 4]\n",
       "f.toml:4:10: a key given twice in one level; write [[level]] before each level\n"},
      {"minutes = 5\n[[level]]\nblinds = [1,000, 2,000]\n",
       "f.toml:3:16: a number with a thousands separator; write 1000 without a thousands "
       "separator\n"},
      {"minutes = 5\n[[level]]\nblinds = [500, 1000]\nante = 1,500\n",
       "f.toml:4:9: a number with a thousands separator; write 1000 without a thousands "
       "separator\n"},
      {"name = Friday Deep Stack\nminutes = 5\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:1:8: text without quotes; put the text in straight double quotes\n"},
      {"name = \xe2\x80\x9c"
       "Friday\xe2\x80\x9d\nminutes = 5\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:1:8: a curly quote U+201C; put the text in straight double quotes\n"},
      // A file's text in a message never moves the terminal's cursor.
      {"\"\\u001b]0;t\\u0007\\u001b[2J\" = 1\nminutes = 5\n[[level]]\nblinds = [1, 2]\n",
       "f.toml:1:1: unknown key '\\u001B]0;t\\u0007\\u001B[2J'; expected name, minutes, hands, "
       "start, [tournament], [warnings] or [[level]]\n"},
      // Nested deeper than the parser's stack would bear: refused before it.
      {repeated("a.", 10000) + "a = 1\n",
       "f.toml:1:128: more than 64 parts in a dotted key; expected a structure file's few "
       "levels\n"},
      {"x = " + std::string(100000, '[') + std::string(100000, ']') + "\n",
       "f.toml:1:69: more than 64 brackets or braces nested; expected a structure file's few "
       "levels\n"},
      // In the order of the file, not of the keys' names.
      {"[[level]]\nminutes = 0\nblinds = [2, 1]\n",
       "f.toml:2:11: minutes is 0; expected a whole number from 1 to 999\n"
       "f.toml:3:10: small blind 2 is more than big blind 1; expected small at most big\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(problemsOf(c.text), c.problems) << c.text;
}

// The parser misjudges some of them (U+00A1 to U+0499 among them) as it looks
// for blanks; such a file comes to a problem, not to what the parser does then.
TEST(StructureFile, CharactersBeyondAsciiWhereOnlyAsciiMayStand) {
  struct Case {
    std::string text, problems;
  };
  const Case cases[] = {
      {"minutes = 20\n[[level]]\nblinds = [25, \u00bd-price\"]\n",
       "f.toml:3:15: not valid TOML: character U+00BD outside quotes; expected it only in quoted "
       "text or a comment\n"},
      {"minutes = 20\n[[level]]\nbreak = 5\u00bd\"x\"\n",
       "f.toml:3:10: not valid TOML: character U+00BD in a number, date or time; expected digits "
       "and the signs they take\n"},
      {"minutes = 20\nname = \"\"\"\\ \u00bd\"\"\"\n",
       "f.toml:2:13: not valid TOML: character U+00BD after a backslash; expected an escape such "
       "as \\t or \\u00E9\n"},
      {"minutes = 20\n\xff\n", "f.toml:2:1: not valid TOML: bytes that are not UTF-8\n"},
      // A table header split by a line end the parser once asserted on.
      {"minutes = 20\n[[\r\nlevel]]\n",
       "f.toml:2:1: a table header without its name on the line; expected [name] or [[name]] on "
       "one line\n"},
      {"minutes = 20\n  [ \nlevel]\n",
       "f.toml:2:3: a table header without its name on the line; expected [name] or [[name]] on "
       "one line\n"},
      // Where the text goes wrong before the character, the parser tells how.
      {"name = 1974-05-27T07:32:14Z\"Caf\u00e9\"\n",
       "f.toml:1:28: not valid TOML: error while parsing date-time: expected value-terminator, "
       "saw '\"'\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(problemsOf(c.text), c.problems) << c.text;
}

TEST(StructureFile, ACharacterBeyondAsciiAfterALineEndingBackslashReadsAsItself) {
  EXPECT_EQ(parsed("minutes = 20\nname = \"\"\"\\\n  \u00dcber \\\n\t\u00bd\"\"\"\n"
                   "[[level]]\nbreak = 5\n")
                .name,
            "\u00dcber \u00bd");
  // The parser is given it as an escape, longer than the character; the
  // columns after it are still the file's.
  EXPECT_EQ(problemsOf("level = [{ break = 5, note = \"\"\"\\\n\U0001F0A1\"\"\", colour = 1 }]\n"),
            "f.toml:1:30: note has a character that cannot be shown (U+1F0A1); expected printable "
            "text\n"
            "f.toml:2:7: unknown key 'colour' in a break; expected break or note\n");
}

TEST(StructureFile, TwentyProblemsAtMostAndHowManyMore) {
  std::string text = "minutes = 20\n";
  for (int i = 0; i < 25; ++i) text += "[[level]]\nblinds = [0, 1]\n";
  const std::string problems = problemsOf(text);
  EXPECT_EQ(problems.find("f.toml:3:11: small blind is 0;"), 0u) << problems;
  EXPECT_NE(problems.find("\nf.toml:41:11: small blind is 0;"), std::string::npos);
  EXPECT_EQ(problems.find("f.toml:43:11"), std::string::npos);
  EXPECT_EQ(problems.substr(problems.rfind("41:11")),
            "41:11: small blind is 0; expected a whole number from 1 to 999,999,999\n"
            "f.toml: 5 more problems not shown\n");
}

TEST(StructureFile, EveryLimitAtAndPastItsEdge) {
  const std::string x40(40, 'x');
  struct Case {
    std::string top, entry, problem;  // no problem: the file is good
  };
  const Case cases[] = {
      {"minutes = 20", "blinds = [1, 1]", ""},
      {"minutes = 20", "blinds = [0, 1]",
       "f.toml:3:11: small blind is 0; expected a whole number from 1 to 999,999,999"},
      {"minutes = 20", "blinds = [999999999, 999999999]", ""},
      {"minutes = 20", "blinds = [1, 1000000000]",
       "f.toml:3:14: big blind is 1000000000; expected a whole number from 1 to 999,999,999"},
      {"minutes = 20", "blinds = [3, 2]",
       "f.toml:3:10: small blind 3 is more than big blind 2; expected small at most big"},
      {"minutes = 20", "blinds = [1, 2]\nante = 0", ""},
      {"minutes = 20", "blinds = [1, 2]\nante = 999999999", ""},
      {"minutes = 20", "blinds = [1, 2]\nante = -1",
       "f.toml:4:8: ante is -1; expected a whole number from 0 to 999,999,999"},
      {"minutes = 20", "blinds = [1, 2]\nante = 1000000000",
       "f.toml:4:8: ante is 1000000000; expected a whole number from 0 to 999,999,999"},
      {"minutes = 1", "blinds = [1, 2]\nminutes = 999", ""},
      {"minutes = 0", "blinds = [1, 2]",
       "f.toml:1:11: minutes is 0; expected a whole number from 1 to 999"},
      {"minutes = 20", "blinds = [1, 2]\nminutes = 1000",
       "f.toml:4:11: minutes is 1000; expected a whole number from 1 to 999"},
      {"hands = 999", "blinds = [1, 2]\nhands = 1", ""},
      {"hands = 1000", "blinds = [1, 2]",
       "f.toml:1:9: hands is 1000; expected a whole number from 1 to 999"},
      {"minutes = 20", "break = 1", ""},
      {"minutes = 20", "break = 999", ""},
      {"minutes = 20", "break = 0",
       "f.toml:3:9: break is 0; expected a whole number from 1 to 999"},
      {"minutes = 20", "break = 1000",
       "f.toml:3:9: break is 1000; expected a whole number from 1 to 999"},
      {"name = \"" + x40 + "\"\nminutes = 1", "break = 5\nnote = \"" + x40 + "\"", ""},
      // Characters, not bytes, count; the screen's code page has these.
      {"name = \"Caf\u00e9 \u00bd" + x40.substr(6) + "\"\nminutes = 1", "break = 5", ""},
      {"name = \"" + x40 + "y\"\nminutes = 1", "break = 5",
       "f.toml:1:8: name is 41 characters long; expected at most 40"},
      {"minutes = 1", "break = 5\nnote = \"" + x40 + "y\"",
       "f.toml:4:8: note is 41 characters long; expected at most 40"},
      {"minutes = 1", "break = 5\nnote = \"a\\u0007\"",
       "f.toml:4:8: note has a character that cannot be shown (U+0007); expected printable "
       "text"},
      {"name = \"5 \u20ac buy-in\"\nminutes = 1", "break = 5",
       "f.toml:1:8: name has a character that cannot be shown (U+20AC); expected printable "
       "text"},
  };
  for (const Case& c : cases) {
    const std::string text = c.top + "\n[[level]]\n" + c.entry + "\n";
    EXPECT_EQ(problemsOf(text), c.problem.empty() ? "" : c.problem + "\n") << text;
  }
}

const std::string kTwoLevels =
    "minutes = 20\n[[level]]\nblinds = [1, 2]\n[[level]]\nbreak = 5\n"
    "[[level]]\nblinds = [2, 4]\n";

TEST(StructureFile, ReadsTheTournamentTable) {
  const NumbersRules all{10000, 100, 10000, 100, 15000, 50, 5000, {5000, 2750, 1500, 750}, 2, 40};
  EXPECT_EQ(
      parsed(kTwoLevels + "[tournament]\nchips = 10000\nbuy-in = 100\nrebuy = [10000, 100]\n"
                          "add-on = [15000, 50]\nguarantee = 5000\npayouts = [50, 27.5, 15, 7.5]\n"
                          "late-registration = 2\nentries = 40\n")
          .numbers,
      all);
  // Only the chips are needed: no rebuy, add-on or guarantee, the default
  // payouts, registration open to the end.
  EXPECT_EQ(parsed(kTwoLevels + "[tournament]\nchips = 5000\n").numbers,
            (NumbersRules{5000, 0, 0, 0, 0, 0, 0, {}, 0, 0}));
  EXPECT_EQ(parsed(kTwoLevels).numbers, std::nullopt);
}

TEST(StructureFile, EachProblemOfTheTournamentTable) {
  const std::string head = kTwoLevels + "[tournament]\nchips = 1000\n";
  struct Case {
    std::string text, problems;
  };
  const Case cases[] = {
      {kTwoLevels + "[tournament]\nbuy-in = 10\n",
       "f.toml:8:1: [tournament] without chips; expected chips = N, an entry's stack\n"},
      {head + "buyin = 10\n",
       "f.toml:10:1: unknown key 'buyin' in [tournament]; expected chips, buy-in, rebuy, add-on, "
       "guarantee, payouts, late-registration or entries\n"},
      {head + "buy-in = -5\n",
       "f.toml:10:10: buy-in is -5; expected a whole number from 0 to 999,999,999\n"},
      {head + "rebuy = 1000\n",
       "f.toml:10:9: rebuy is 1000; expected [chips, price], two whole numbers\n"},
      {head + "add-on = [0, 10]\n",
       "f.toml:10:11: add-on chips is 0; expected a whole number from 1 to 999,999,999\n"},
      // Two levels (the break is none): registration ends with one of them.
      {head + "late-registration = 3\n",
       "f.toml:10:21: late-registration is 3; expected a whole number from 1 to 2\n"},
      {head + "payouts = [50, 30]\n", "f.toml:10:11: payouts add up to 80 %; expected 100 %\n"},
      {head + "payouts = [50, 30, 20.5]\n",
       "f.toml:10:11: payouts add up to 100.5 %; expected 100 %\n"},
      {head + "payouts = [30, 50, 20]\n",
       "f.toml:10:16: place 2 has 50 %, more than the place before it; expected each place at "
       "most the one before\n"},
      {head + "payouts = [99.995, 0.005]\n",
       "f.toml:10:12: a payout is a percentage with more decimals; expected a percentage above 0 "
       "and at most 100, with at most two decimals\n"},
      {head + "payouts = [100, 0]\n",
       "f.toml:10:17: a payout is 0; expected a percentage above 0 and at most 100, with at most "
       "two decimals\n"},
      {head + "payouts = [\"all\"]\n",
       "f.toml:10:12: a payout is text; expected a percentage above 0 and at most 100, with at "
       "most two decimals\n"},
      {head + "payouts = []\n",
       "f.toml:10:11: payouts is 0 places; expected [first, second, ...], 1 to 100 percentages\n"},
      {"tournament = 5\n" + kTwoLevels,
       "f.toml:1:14: tournament is 5; expected a [tournament] table\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(problemsOf(c.text), c.problems) << c.text;
}

TEST(StructureFile, FiveHundredEntriesAtMost) {
  std::string text = "minutes = 20\n";
  for (int i = 0; i < kMaxEntries; ++i) text += "[[level]]\nblinds = [1, 2]\n";
  EXPECT_EQ(parseStructure(text, "f.toml").value().entries.size(), 500u);
  text += "[[level]]\nbreak = 5\n";
  EXPECT_EQ(problemsOf(text), "f.toml:1002:1: 501 entries; expected at most 500\n");
}

TEST(StructureFile, WrittenOutAndReadBackUnchanged) {
  std::vector<Structure> structures;
  for (char letter : {'A', 'B', 'C'}) structures.push_back(builtInStructure(letter));
  structures.push_back(
      {"Say \"when\" \\ now",
       true,
       {level(1, 2, 0, 10), pause(15, "Tea \"break\""), level(5, 10, 5, 12), level(5, 10, 5, 10)}});
  structures.push_back({"", false, {pause(3, "")}});
  Structure counted{"", false, {level(1, 2, 0, 10), pause(5, ""), level(2, 4, 0, 10)}};
  counted.numbers = NumbersRules{1000, 20, 1000, 20, 2000, 10, 500, {5000, 3000, 1250, 750}, 2, 9};
  structures.push_back(counted);
  counted.numbers = NumbersRules{};
  counted.numbers->chips = 1;
  structures.push_back(counted);
  // Warnings as the table implies them (all on), and one switched off.
  counted.warnings = {true, true, true};
  structures.push_back(counted);
  counted.warnings.breakAhead = false;
  structures.push_back(counted);
  for (const Structure& t : structures) {
    const std::string text = formatStructure(t, "One line\nand another");
    EXPECT_EQ(text.rfind("# One line\n# and another\n", 0), 0u) << text;
    EXPECT_EQ(parseStructure(text, "f.toml"), Result(t)) << text;
  }
  EXPECT_EQ(formatStructure(structures[3], "c"),
            "# c\n\nname = \"Say \\\"when\\\" \\\\ now\"\nhands = 10\n\n"
            "[[level]]\nblinds = [1, 2]\n\n[[level]]\nbreak = 15\nnote = \"Tea \\\"break\\\"\"\n\n"
            "[[level]]\nblinds = [5, 10]\nante = 5\nhands = 12\n\n[[level]]\nblinds = [5, "
            "10]\nante = 5\n");
}

TEST(StructureFile, TheShippedExampleIsGood) {
  const auto example =
      std::filesystem::path(__FILE__).parent_path() / "../../examples/deepstack.toml";
  const Result r = readStructureFile(example);
  ASSERT_EQ(problemsOf(r), "");
  EXPECT_EQ(r.value().entries.size(), 14u);
}

class StructureFileOnDisk : public ::testing::Test {
 protected:
  const TempDir scratch_{"structurefile"};
  const std::filesystem::path& dir_ = scratch_.path();
};

TEST_F(StructureFileOnDisk, WhatCannotBeReadIsOneProblem) {
  const auto big = dir_ / "big.toml";
  {
    std::ofstream out(big);
    out << "minutes = 20\n[[level]]\nblinds = [1, 2]\n"
        << std::string(kMaxStructureFileSize, '#') << "\n";
  }
  const auto fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::filesystem::path file;
    std::string problem;
  };
  const Case cases[] = {
      {dir_ / "none.toml", "none.toml: cannot read: No such file or directory\n"},
      {dir_, ": cannot read: it is a directory\n"},
      {fifo, "fifo: cannot read: not a regular file\n"},
      {big, "big.toml: cannot read: larger than 1 MiB\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(problemsOf(readStructureFile(c.file)),
              c.file.string() + c.problem.substr(c.problem.find(':')))
        << c.file;
  std::filesystem::resize_file(big, kMaxStructureFileSize);
  EXPECT_EQ(problemsOf(readStructureFile(big)), "");
}

class ScheduleTable : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }
  static constexpr std::time_t k2215 = 1'700'000'000 - 1'700'000'000 % 86400 + 22 * 3600 + 900;
};

TEST_F(ScheduleTable, StartTimesAndTotalOfAMinutesStructure) {
  const Structure t{"Friday deep stack",
                    false,
                    {level(25, 50, 0, 20), level(1000, 2000, 12500, 30),
                     pause(15, "Colour up the 25s, caf\u00e9 and tea too"), level(1, 2, 0, 90)}};
  EXPECT_EQ(scheduleTable(t, k2215),
            "Friday deep stack\n\n"
            "Level  Blinds                         Ante  Length        Start\n"
            "    1  25/50                                20 min        22:15\n"
            "    2  1,000/2,000                  12,500  30 min        22:35\n"
            "       Colour up the 25s, caf\u00e9 and tea too  15 min break  23:05\n"
            "    3  1/2                                  90 min        23:20\n"
            "\nTotal: 2 h 35 min in 3 levels and 1 break, ending at 00:50 +1 day\n");
}

TEST_F(ScheduleTable, TheTournamentTableInASentence) {
  Structure t{"", false, {level(1, 2, 0, 10)}};
  t.numbers = NumbersRules{10000, 100, 10000, 100, 15000, 50, 5000, {5000, 3000, 2000}, 1, 0};
  EXPECT_EQ(scheduleTable(t, k2215).substr(scheduleTable(t, k2215).find("\n\nTournament")),
            "\n\nTournament: 10,000 chips an entry for 100; rebuys of 10,000 for 100; an add-on\n"
            "of 15,000 for 50; entries and rebuys until level 1 ends; 5,000 guaranteed;\n"
            "payouts 50, 30, 20 %.\n");
  t.numbers = NumbersRules{};
  t.numbers->chips = 2500;
  EXPECT_EQ(scheduleTable(t, k2215).substr(scheduleTable(t, k2215).find("\n\nTournament")),
            "\n\nTournament: 2,500 chips an entry; the usual payouts for the number of "
            "entries.\n");
}

TEST_F(ScheduleTable, AHandsStructureKnowsOnlyTheFirstStarts) {
  const Structure t{"", true, {pause(10, ""), level(1, 2, 0, 1), level(2, 4, 0, 30)}};
  EXPECT_EQ(scheduleTable(t, k2215),
            "Structure without a name\n\n"
            "Level  Blinds  Ante  Length        Start\n"
            "                     10 min break  22:15\n"
            "    1  1/2           1 hand        22:25\n"
            "    2  2/4           30 hands      -\n"
            "\nTotal: 31 hands in 2 levels, and 10 min in 1 break\n"
            "A start shown as - depends on how fast the hands are played.\n");
}

}  // namespace
}  // namespace potclock
