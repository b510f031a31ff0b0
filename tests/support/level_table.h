// The blind structures as the organiser's tables print them, every level in
// full: structure A at levels 1 to 23, B at 25 to 40, C at 42 to 63, each
// followed by the separator. Tests take labels and big blinds from here, never
// from the program's own lists.
#pragma once

#include <string_view>

namespace expected {

// Every level as the organiser's tables give it: the label exactly as shown
// (leading blanks included) and its big blind; 0 marks a separator.
struct LevelRow {
  int level;
  std::string_view label;
  long bigBlind;
};
// clang-format off
inline constexpr LevelRow kLevelTable[] = {
    {1, "   1 / 2", 2},
    {2, "   2 / 4", 4},
    {3, "   3 / 6", 6},
    {4, "   5 / 10", 10},
    {5, "   7 / 14", 14},
    {6, "  10 / 20", 20},
    {7, "  15 / 30", 30},
    {8, "  20 / 40", 40},
    {9, "  30 / 60", 60},
    {10, "  50 / 100", 100},
    {11, "  70 / 140", 140},
    {12, "  100/200", 200},
    {13, "  150/300", 300},
    {14, "  200/400", 400},
    {15, "  300/600", 600},
    {16, " 500/1000", 1000},
    {17, " 700/1400", 1400},
    {18, "1000/2000", 2000},
    {19, "1500/3000", 3000},
    {20, "2000/4000", 4000},
    {21, "3000/6000", 6000},
    {22, "5000/10000", 10000},
    {23, "7000/14000", 14000},
    {24, "-----", 0},
    {25, "   1 / 2", 2},
    {26, "   2 / 4", 4},
    {27, "   4 / 8", 8},
    {28, "   8 / 16", 16},
    {29, "  15 / 30", 30},
    {30, "  30 / 60", 60},
    {31, "  60 / 120", 120},
    {32, "  120/240", 240},
    {33, "  250/500", 500},
    {34, " 500/1000", 1000},
    {35, "1000/2000", 2000},
    {36, "2000/4000", 4000},
    {37, "4000/8000", 8000},
    {38, "8000/16000", 16000},
    {39, " 15K/30K", 30000},
    {40, " 30K/60K", 60000},
    {41, "-----", 0},
    {42, "  10 / 20", 20},
    {43, "  25 / 50", 50},
    {44, "  50 / 100", 100},
    {45, "  75 / 150", 150},
    {46, "  100/200", 200},
    {47, "  150/300", 300},
    {48, "  200/400", 400},
    {49, "  300/600", 600},
    {50, "  400/800", 800},
    {51, " 500/1000", 1000},
    {52, " 600/1200", 1200},
    {53, " 800/1600", 1600},
    {54, "1000/2000", 2000},
    {55, "1500/3000", 3000},
    {56, "2000/4000", 4000},
    {57, "3000/6000", 6000},
    {58, "4000/8000", 8000},
    {59, "5000/10000", 10000},  // our own label for this level: its blinds as in 22
    {60, " 70K/140K", 140000},
    {61, "100K/200K", 200000},
    {62, "150K/300K", 300000},
    {63, "250K/500K", 500000},
    {64, "-----", 0},
};
// clang-format on

// The levels of each structure, first to last.
struct StructureLevels {
  char letter;
  int first;
  int last;
};
inline constexpr StructureLevels kStructureLevels[] = {{'A', 1, 23}, {'B', 25, 40}, {'C', 42, 63}};

// Row of level n (1 to 64).
constexpr const LevelRow& level(int n) {
  return kLevelTable[n - 1];
}

}  // namespace expected
