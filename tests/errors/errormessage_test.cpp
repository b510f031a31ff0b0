// The message text of an error and the word wrap of session messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors/errormessage.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/strings.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

krx::ErrorRef plainError() {
  auto e = krx::makeError(krx::EG_ARG, "Argument error", "+");
  e->subCode = 1234;
  e->severity = 2;
  e->thread = 1;
  return e;
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1)
    parts.push_back(text.substr(start, semi - start));
  parts.push_back(text.substr(start));
  return parts;
}

TEST(ErrorMessage, LinesInOrderWithTheirLabels) {
  TestRuntime t;
  auto e = plainError();
  EXPECT_EQ(ERRORMESSAGE(*e),
            "Error BASE/1234;Description : Argument error;Operation : +;Thread ID : 1");

  e->filename = "CHIPS.DBF";
  e->thread = 7;
  EXPECT_EQ(ERRORMESSAGE(*e),
            "Error BASE/1234;Description : Argument error;File : CHIPS.DBF;Operation : +;"
            "Thread ID : 7");

  // Empty file and operation add nothing; an empty description keeps its
  // label; one that is not text is left out; the thread line stays.
  e->filename = "";
  e->operation = "";
  e->description = "";
  EXPECT_EQ(ERRORMESSAGE(*e), "Error BASE/1234;Description : ;Thread ID : 7");
  e->description = krx::Item();
  EXPECT_EQ(ERRORMESSAGE(*e), "Error BASE/1234;Thread ID : 7");

  const std::vector<std::pair<int, std::string>> words{
      {0, "Warning "}, {1, "Warning "}, {2, "Error "}, {3, "Error "}};
  for (const auto& [severity, word] : words) {
    e->severity = severity;
    EXPECT_EQ(ERRORMESSAGE(*e).substr(0, word.size() + 4), word + "BASE") << severity;
  }
  // Subsystem and subcode of the wrong types.
  const std::string unknown = std::string("Error ????") + "/????";
  e->severity = 2;
  e->subSystem = krx::Item();
  e->subCode = krx::Item();
  EXPECT_EQ(split(ERRORMESSAGE(*e))[0], unknown);
  e->subSystem = 5;
  e->subCode = "12";
  EXPECT_EQ(split(ERRORMESSAGE(*e))[0], unknown);
}

TEST(ErrorMessage, SessionDetailsFromAThreeElementCargo) {
  TestRuntime t;
  auto e = plainError();
  const std::string base = ERRORMESSAGE(*e);

  e->cargo = krx::makeArray({"earlier cargo", 17, "session says no"});
  EXPECT_EQ(ERRORMESSAGE(*e), base + ";earlier cargo;session says no");  // code 17 not shown

  e->cargo = krx::makeArray({42, 17, "session says no"});
  EXPECT_EQ(ERRORMESSAGE(*e), base + ";session says no");

  // Only exactly three elements count.
  e->cargo = krx::makeArray({"a", "b"});
  EXPECT_EQ(ERRORMESSAGE(*e), base);
  e->cargo = krx::makeArray({"a", 1, "b", "c"});
  EXPECT_EQ(ERRORMESSAGE(*e), base);

  // A long session message is wrapped at 50 columns.
  const std::string longText = krx::REPLICATE("word ", 24);  // 120 characters
  e->cargo = krx::makeArray({krx::Item(), 3, longText});
  std::vector<std::string> lines = split(ERRORMESSAGE(*e));
  std::vector<std::string> baseLines = split(base);
  ASSERT_GE(lines.size(), baseLines.size() + 3);
  for (std::size_t i = baseLines.size(); i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 50u) << lines[i];
    EXPECT_FALSE(lines[i].empty());
  }

  // A third element that is not text shows in its text form.
  e->cargo = krx::makeArray({krx::Item(), 3, 99});
  EXPECT_EQ(ERRORMESSAGE(*e), base + ";99");
}

TEST(LineSplit, WrapsTrimsAndJoins) {
  TestRuntime t;
  EXPECT_EQ(LINESPLIT("fits well   ", 50), "fits well");
  EXPECT_EQ(LINESPLIT("", 50), "");
  EXPECT_EQ(LINESPLIT("aaa bbb ccc", 7), "aaa bbb;ccc");

  const std::string text = krx::REPLICATE("abcdefghi ", 12);  // 120 characters
  const std::string out = LINESPLIT(text, 50);
  EXPECT_NE(out.front(), ';');
  EXPECT_NE(out.back(), ';');
  std::vector<std::string> lines = split(out);
  EXPECT_EQ(lines.size(), 3u);
  for (const auto& line : lines) {
    EXPECT_LE(line.size(), 50u);
    EXPECT_NE(line.back(), ' ');
  }
  // A ";" of the text's own stays as it is: the alert shows an extra line.
  EXPECT_EQ(LINESPLIT("one;two", 50), "one;two");

  // By name, as compiled text calls it; a huge width does not pad each line
  // to that size first.
  EXPECT_EQ(krx::macroEval("LineSplit('aaa bbb ccc', 7)").str(), "aaa bbb;ccc");
  // A huge width does not pad each line to that size first.
  EXPECT_EQ(krx::macroEval("LineSplit('short', 1000000000000)").str(), "short");
  EXPECT_EQ(krx::macroEval("LineSplit('short', 0)").str(), "");
  EXPECT_EQ(krx::macroEval("LineSplit('short', -3)").str(), "");
}

}  // namespace
}  // namespace potclock
