#include "runtime/backends/blockscale.h"

#include <cstdint>

namespace krx {

namespace {

constexpr std::uint8_t kBlank = ' ';
constexpr std::uint8_t kFull = 0xDB;
constexpr std::uint8_t kLower = 0xDC;
constexpr std::uint8_t kLeft = 0xDD;
constexpr std::uint8_t kRight = 0xDE;
constexpr std::uint8_t kUpper = 0xDF;

// The arms of the box-drawing characters 0xB3 to 0xDA, as the digits of
// up, down, left, right: 0 none, 1 single line, 2 double line.
constexpr int kArms[] = {
    1100, 1110, 1120, 2210, 210,  120,  2220, 2200, 220,  2020,  // B3 to BC
    2010, 1020, 110,  1001, 1011, 111,  1101, 11,   1111, 1102,  // BD to C6
    2201, 2002, 202,  2022, 222,  2202, 22,   2222, 1022, 2011,  // C7 to D0
    122,  211,  2001, 1002, 102,  201,  2211, 1122, 1010, 101,   // D1 to DA
};

int armsOf(std::uint8_t ch) {
  return ch >= 0xB3 && ch <= 0xDA ? kArms[ch - 0xB3] : 0;
}

std::uint8_t horizontalLine(int arm) {
  return arm == 2 ? 0xCD : 0xC4;
}

std::uint8_t verticalLine(int arm) {
  return arm == 2 ? 0xBA : 0xB3;
}

}  // namespace

void scaleCell(const Cell& cell, int sx, int sy, Cell* out, int stride) {
  const Cell blank{kBlank, cell.attr};
  auto at = [&](int r, int c) -> Cell& { return out[r * stride + c]; };
  auto fill = [&](Cell look) {
    for (int r = 0; r < sy; ++r) {
      for (int c = 0; c < sx; ++c) at(r, c) = look;
    }
  };

  switch (cell.ch) {
    case kFull:
    case 0xB0:
    case 0xB1:
    case 0xB2:
      fill(cell);
      return;
    case kUpper:
    case kLower: {
      // The half that shows is solid; with an odd number of rows the one in
      // the middle is split as the character itself is.
      fill(blank);
      const bool upper = cell.ch == kUpper;
      for (int r = 0; r < sy; ++r) {
        const int fromTop = upper ? r : sy - 1 - r;
        std::uint8_t ch = kBlank;
        if (2 * fromTop + 1 < sy) {
          ch = kFull;
        } else if (2 * fromTop + 1 == sy) {
          ch = cell.ch;
        }
        for (int c = 0; c < sx; ++c) at(r, c) = Cell{ch, cell.attr};
      }
      return;
    }
    case kLeft:
    case kRight: {
      fill(blank);
      const bool left = cell.ch == kLeft;
      for (int c = 0; c < sx; ++c) {
        const int fromSide = left ? c : sx - 1 - c;
        std::uint8_t ch = kBlank;
        if (2 * fromSide + 1 < sx) {
          ch = kFull;
        } else if (2 * fromSide + 1 == sx) {
          ch = cell.ch;
        }
        for (int r = 0; r < sy; ++r) at(r, c) = Cell{ch, cell.attr};
      }
      return;
    }
    default:
      break;
  }

  fill(blank);
  const int mid = blockTextRow(sy);
  at(mid, 0) = cell;
  const int arms = armsOf(cell.ch);
  if (arms == 0) return;
  const int up = arms / 1000, down = arms / 100 % 10, right = arms % 10;
  for (int c = 1; c < sx && right != 0; ++c) at(mid, c) = Cell{horizontalLine(right), cell.attr};
  for (int r = 0; r < mid && up != 0; ++r) at(r, 0) = Cell{verticalLine(up), cell.attr};
  for (int r = mid + 1; r < sy && down != 0; ++r) at(r, 0) = Cell{verticalLine(down), cell.attr};
}

}  // namespace krx
