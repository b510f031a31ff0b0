#include <gtest/gtest.h>

#include "app/levels.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

TEST(Levels, LabelsKeepTheirBlanksAndLengths) {
  // Every label with the length the structures' tables give it.
  const std::pair<int, std::string_view> samples[] = {
      {1, "   1 / 2"},    {4, "   5 / 10"},   {10, "  50 / 100"}, {12, "  100/200"},
      {16, " 500/1000"},  {22, "5000/10000"}, {23, "7000/14000"}, {24, "-----"},
      {25, "   1 / 2"},   {27, "   4 / 8"},   {31, "  60 / 120"}, {38, "8000/16000"},
      {39, " 15K/30K"},   {40, " 30K/60K"},   {41, "-----"},      {42, "  10 / 20"},
      {44, "  50 / 100"}, {59, "5000/10000"}, {60, " 70K/140K"},  {63, "250K/500K"},
      {64, "-----"}};
  for (auto [n, label] : samples) EXPECT_EQ(levelLabel(n), label) << "level " << n;

  const int lengths[64] = {8,  8, 8, 9, 9, 9, 9, 9, 9,  10, 10, 9, 9, 9, 9,  9,  9, 9, 9, 9, 9, 10,
                           10, 5, 8, 8, 8, 9, 9, 9, 10, 9,  9,  9, 9, 9, 9,  10, 8, 8, 5, 9, 9, 10,
                           10, 9, 9, 9, 9, 9, 9, 9, 9,  9,  9,  9, 9, 9, 10, 9,  9, 9, 9, 5};
  for (int n = 1; n <= 64; ++n)
    EXPECT_EQ(levelLabel(n).size(), static_cast<std::size_t>(lengths[n - 1])) << "level " << n;
}

TEST(Levels, StructuresAndBigBlinds) {
  EXPECT_EQ(kStructures[0].firstLevel, 1);
  EXPECT_EQ(kStructures[1].firstLevel, 25);
  EXPECT_EQ(kStructures[2].firstLevel, 42);
  EXPECT_EQ(aBlindsA.size(), 23u);
  EXPECT_EQ(aBlindsB.size(), 16u);
  EXPECT_EQ(aBlindsC.size(), 22u);
  EXPECT_EQ(aBlindsA.back(), 14000);
  EXPECT_EQ(aBlindsB.back(), 60000);
  EXPECT_EQ(aBlindsC[17], 10000);
  EXPECT_EQ(aBlindsC.back(), 500000);
  // Every structure ends in the separator, so the level after its last shows "-----".
  for (const Structure& s : kStructures)
    EXPECT_EQ(levelLabel(s.firstLevel + static_cast<int>(s.bigBlinds.size())), "-----");
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
