// Hands mode as the organiser plays it: hand keys, Space among them, and the
// skip keys pressed in the middle of a level, watched through the level
// caption and the tones.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/screens/clock.h"
#include "app/screens/timer.h"
#include "runtime/console/console.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

using timerscreen::concat;
using timerscreen::kChime;
using timerscreen::Tones;

const Tones kPlus{{2000, 3}};
const Tones kMinus{{1000, 2}};
const Tones kLow{{600, 1}};

struct Row {
  const char* name;
  int nLevel;
  int nHands;
  std::string keys;                 // one key a second, then Escape and "Yes"
  std::vector<std::string> levels;  // the captions' level numbers, in the order shown
  Tones tones;
};

const std::string h7(7, 'h');
const std::string h8(8, 'h');

const Row kRows[] = {
    {"PlusOnAnEarlyHandStartsTheNextLevelAfresh", 5, 8, "h+" + h7, {" 5", " 6"}, kPlus},
    {"PlusThenTheFullCountEndsTheNextLevel",
     5,
     8,
     "h+" + h8,
     {" 5", " 6", " 7"},
     concat({kPlus, kChime})},
    {"MinusOnAnEarlyHandGoesBackALevel",
     5,
     8,
     "hh-" + h8,
     {" 5", " 4", " 5"},
     concat({kMinus, kChime})},
    {"MinusAtLevelOneRestartsIt", 1, 8, "hh-" + h7, {" 1"}, concat({kMinus, kLow})},
    {"PlusAtTheLastLevelRestartsIt", 63, 8, "h+" + h7, {"22-Club"}, concat({kPlus, kLow})},
    {"SpaceCountsAsAHand", 5, 8, " h h h h", {" 5", " 6"}, kChime},
    {"SevenHandsOfEightDoNotEndTheLevel", 5, 8, " h h h ", {" 5"}, {}},
    {"TwelveHandsOfTwelveEndTheLevel", 41, 12, h8 + "hhhh", {"17-Fast", " 1-Club"}, kChime},
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

// The level number in the caption on row 4, "" when there is none.
std::string captionLevel(const std::string& row4) {
  const std::string head = "S M A L L   B L I N D  /  B I G   B L I N D   (Level: ";
  if (row4.compare(1, head.size(), head) != 0) return "";
  const auto start = 1 + head.size();
  const auto close = row4.find(')', start);
  return close == std::string::npos ? "" : row4.substr(start, close - start);
}

class HandsTest : public ::testing::TestWithParam<Row> {};

TEST_P(HandsTest, LevelsAndTonesAfterTheKeys) {
  const Row& row = GetParam();
  TestRuntime t;
  std::vector<std::string> levels;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen&) {
    const std::string level = captionLevel(t.rowText(4));
    if (!level.empty() && (levels.empty() || levels.back() != level)) levels.push_back(level);
  };
  double when = 5;
  for (char c : row.keys) t.hl.keyAt(when += 1, static_cast<unsigned char>(c));
  t.hl.keyAt(when += 1, 27);
  t.hl.alertAnswers({2});

  krx::SETCOLOR(kSetupColors);
  krx::SCROLL();
  EXPECT_THROW(runTimer(row.nLevel, row.nHands, Mode::hands), krx::QuitSignal);

  EXPECT_EQ(levels, row.levels);
  EXPECT_EQ(timerscreen::tonesHeard(t.hl), row.tones);
}

INSTANTIATE_TEST_SUITE_P(Table, HandsTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace potclock
