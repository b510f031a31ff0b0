#include "app/game/levels.h"

#include <cmath>

#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

// Labels exactly as shown, leading blanks included, four levels a line.
// clang-format off
const std::array<LevelLabel, kLevelCount> aLevels{
    // A - home game, levels 1 to 23
    "   1 / 2",   "   2 / 4",   "   3 / 6",   "   5 / 10",
    "   7 / 14",  "  10 / 20",  "  15 / 30",  "  20 / 40",
    "  30 / 60",  "  50 / 100", "  70 / 140", "  100/200",
    "  150/300",  "  200/400",  "  300/600",  " 500/1000",
    " 700/1400",  "1000/2000",  "1500/3000",  "2000/4000",
    "3000/6000",  "5000/10000", "7000/14000", "-----",
    // B - fast, levels 25 to 40
    "   1 / 2",   "   2 / 4",   "   4 / 8",   "   8 / 16",
    "  15 / 30",  "  30 / 60",  "  60 / 120", "  120/240",
    "  250/500",  " 500/1000",  "1000/2000",  "2000/4000",
    "4000/8000",  "8000/16000", " 15K/30K",   " 30K/60K",
    "-----",
    // C - club, levels 42 to 63; level 59 (big blind 10000) reads as the
    // home game's level of the same blinds
                  "  10 / 20",  "  25 / 50",  "  50 / 100",
    "  75 / 150", "  100/200",  "  150/300",  "  200/400",
    "  300/600",  "  400/800",  " 500/1000",  " 600/1200",
    " 800/1600",  "1000/2000",  "1500/3000",  "2000/4000",
    "3000/6000",  "4000/8000",  "5000/10000", " 70K/140K",
    "100K/200K",  "150K/300K",  "250K/500K",  "-----"};

// Big blinds by position within the structure, from 1.
const std::array<long, 23> aBlindsA{
    2,    4,    6,    10,   14,   20,   30,    40,
    60,   100,  140,  200,  300,  400,  600,   1000,
    1400, 2000, 3000, 4000, 6000, 10000, 14000};
const std::array<long, 16> aBlindsB{
    2,    4,    8,    16,   30,   60,    120,   240,
    500,  1000, 2000, 4000, 8000, 16000, 30000, 60000};
const std::array<long, 22> aBlindsC{
    20,   50,   100,   150,    200,    300,    400,    600,
    800,  1000, 1200,  1600,   2000,   3000,   4000,   6000,
    8000, 10000, 140000, 200000, 300000, 500000};

const std::array<BuiltInStructure, 3> kStructures{{
    {'A', "A - Home game blinds...", 1, aBlindsA},
    {'B', "B - Fast blinds...", 25, aBlindsB},
    {'C', "C - Zizoza Duru blinds...", 42, aBlindsC},
}};
// clang-format on

std::string_view levelLabel(int n) {
  if (n < 1 || n > kLevelCount) {
    // A level the table does not have is a runtime error for the handler to
    // report, never an abort.
    auto e =
        krx::makeError(krx::EG_BOUND, "Bound error: no such level", "level table", {krx::Item(n)});
    krx::raise(e);
    krx::BREAK(krx::Item(e));
  }
  return aLevels[static_cast<std::size_t>(n - 1)];
}

std::string levelDesignation(int n) {
  if (n < 25) return krx::STR(n, 2, 0);
  if (n <= 41) return krx::STR(n - 24, 2, 0) + "-Fast";
  return krx::STR(n - 41, 2, 0) + "-Club";
}

void drawLevelList() {
  int headingRow = 12;
  for (const BuiltInStructure& s : kStructures) {
    krx::DEVPOS(headingRow, 1);
    krx::DEVOUT(s.heading);
    // Three rows of four; the row follows from the first entry's number.
    double base = s.letter == 'A' ? 13 : 11;
    for (int first = s.firstLevel; first < s.firstLevel + 12; first += 4) {
      int row = static_cast<int>(std::floor(base + first / 4.0));
      for (int i = 0; i < 4; ++i) {
        int n = first + i;
        krx::DEVPOS(row, 4 + 19 * i);
        krx::DEVOUT(krx::STR(n, 2, 0) + " = " + std::string(levelLabel(n)));
      }
    }
    headingRow += 4;
  }
}

}  // namespace potclock
