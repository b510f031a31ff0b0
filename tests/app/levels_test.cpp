#include <gtest/gtest.h>

#include <span>
#include <string_view>

#include "app/game/levels.h"
#include "support/level_table.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

TEST(Levels, EveryLabelOfTheSequence) {
  ASSERT_EQ(std::size(expected::kLevelTable), 64u);
  ASSERT_EQ(aLevels.size(), 64u);
  for (const expected::LevelRow& row : expected::kLevelTable)
    EXPECT_EQ(levelLabel(row.level), row.label) << "level " << row.level;
}

TEST(Levels, EveryBigBlindOfTheThreeLists) {
  const std::span<const long> lists[] = {aBlindsA, aBlindsB, aBlindsC};
  for (std::size_t s = 0; s < 3; ++s) {
    const expected::StructureLevels& want = expected::kStructureLevels[s];
    const std::span<const long> list = lists[s];
    // The lists the schedule reads are these, under the structure's letter.
    EXPECT_EQ(kStructures[s].letter, want.letter);
    EXPECT_EQ(kStructures[s].firstLevel, want.first);
    ASSERT_EQ(kStructures[s].bigBlinds.data(), list.data());
    ASSERT_EQ(list.size(), static_cast<std::size_t>(want.last - want.first + 1));
    for (int n = want.first; n <= want.last; ++n) {
      EXPECT_EQ(list[static_cast<std::size_t>(n - want.first)], expected::level(n).bigBlind)
          << "structure " << want.letter << " position " << n - want.first + 1 << " (level " << n
          << ")";
    }
    // After its last level each structure shows the separator.
    EXPECT_EQ(levelLabel(want.last + 1), "-----");
  }
}

TEST(Levels, Designation) {
  TestRuntime t;
  EXPECT_EQ(levelDesignation(1), " 1");
  EXPECT_EQ(levelDesignation(24), "24");
  EXPECT_EQ(levelDesignation(25), " 1-Fast");
  EXPECT_EQ(levelDesignation(41), "17-Fast");
  EXPECT_EQ(levelDesignation(42), " 1-Club");
  EXPECT_EQ(levelDesignation(63), "22-Club");
}

TEST(Levels, LevelListScreen) {
  TestRuntime t;
  krx::SETCOLOR("\"G+/B,W+/Y,R+/W+,,W+/BG\"");
  krx::SCROLL();
  drawLevelList();
  auto row = [&](int r) {
    std::string s = t.rowText(r);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  };
  // Entries at columns 4, 23, 42 and 61: number in two, " = ", label.
  auto entries = [](std::initializer_list<std::string> e) {
    std::string line(80, ' ');
    int col = 4;
    for (const auto& text : e) {
      line.replace(static_cast<std::size_t>(col), text.size(), text);
      col += 19;
    }
    return line.substr(0, line.find_last_not_of(' ') + 1);
  };
  EXPECT_EQ(row(11), "");
  EXPECT_EQ(row(12), " A - Home game blinds...");
  EXPECT_EQ(row(13),
            entries({" 1 =    1 / 2", " 2 =    2 / 4", " 3 =    3 / 6", " 4 =    5 / 10"}));
  EXPECT_EQ(row(15),
            entries({" 9 =   30 / 60", "10 =   50 / 100", "11 =   70 / 140", "12 =   100/200"}));
  EXPECT_EQ(row(16), " B - Fast blinds...");
  EXPECT_EQ(row(17),
            entries({"25 =    1 / 2", "26 =    2 / 4", "27 =    4 / 8", "28 =    8 / 16"}));
  EXPECT_EQ(row(19),
            entries({"33 =   250/500", "34 =  500/1000", "35 = 1000/2000", "36 = 2000/4000"}));
  EXPECT_EQ(row(20), " C - Zizoza Duru blinds...");
  EXPECT_EQ(row(21),
            entries({"42 =   10 / 20", "43 =   25 / 50", "44 =   50 / 100", "45 =   75 / 150"}));
  EXPECT_EQ(row(23),
            entries({"50 =   400/800", "51 =  500/1000", "52 =  600/1200", "53 =  800/1600"}));
  EXPECT_EQ(row(24), "");
  // Bright green on blue, the standard colour in force.
  EXPECT_EQ(t.attrAt(13, 4), krx::makeAttr(10, 1));
}

}  // namespace
}  // namespace potclock
