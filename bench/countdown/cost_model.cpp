#include "countdown/cost_model.h"

#include <algorithm>

namespace bench {

namespace {

using Cell = e2e::Emulator::Cell;

int digits(int n) {
  return n >= 100 ? 3 : n >= 10 ? 2 : 1;
}

// Bytes of the shortest cursor motion from (r0, c0) to (r1, c1), 0-based,
// on a terminal whose output is not post-processed (a line feed moves down
// and keeps the column, as in raw mode): absolute CSI r;c H; or a vertical
// part (line feeds, CSI n A/B, CSI r d) and a horizontal one (backspaces,
// carriage return, CSI n C/D, CSI c G). `known` false: the cursor is anywhere.
int moveCost(bool known, int r0, int c0, int r1, int c1) {
  int best = 4 + digits(r1 + 1) + digits(c1 + 1);  // ESC [ r ; c H
  if (r1 == 0 && c1 == 0) best = 3;                // ESC [ H
  if (!known) return best;
  auto rel = [](int n) { return n == 1 ? 3 : 3 + digits(n); };  // ESC [ n A/B/C/D
  int vertical = 0;
  if (r1 > r0) vertical = std::min(r1 - r0, rel(r1 - r0));
  if (r1 < r0) vertical = rel(r0 - r1);
  if (r1 != r0) vertical = std::min(vertical, 3 + digits(r1 + 1));
  int horizontal = 0;
  if (c1 > c0) horizontal = rel(c1 - c0);
  if (c1 < c0) horizontal = std::min(c0 - c1, rel(c0 - c1));
  if (c1 != c0) {
    horizontal = std::min(horizontal, 3 + digits(c1 + 1));           // ESC [ c G
    horizontal = std::min(horizontal, 1 + (c1 == 0 ? 0 : rel(c1)));  // CR, then right
  }
  return std::min(best, vertical + horizontal);
}

// SGR bytes that take the pen to a cell's look, colours as xterm's 16 (a
// two-digit code each) or the palette (ESC [ 38;5;n m).
int penCost(const Cell& from, const Cell& to) {
  if (from.fg == to.fg && from.bg == to.bg && from.bold == to.bold && from.reverse == to.reverse) {
    return 0;
  }
  auto colour = [](const e2e::Emulator::Colour& c) {
    if (c.isDefault) return 2;  // 39 / 49
    if (c.index >= 0) return c.index < 16 ? 2 : 5 + digits(c.index);
    return 16;  // 38;2;r;g;b
  };
  int parts = 0;
  int bytes = 3;  // ESC [ ... m
  if (from.fg != to.fg) bytes += colour(to.fg), ++parts;
  if (from.bg != to.bg) bytes += colour(to.bg), ++parts;
  if (from.bold != to.bold) bytes += 2, ++parts;
  if (from.reverse != to.reverse) bytes += 2, ++parts;
  return bytes + std::max(0, parts - 1);  // semicolons
}

// A pen unlike any cell's: the first cell sets both its colours.
Cell unknownPen() {
  Cell pen;
  pen.text.push_back(' ');
  pen.fg = pen.bg = e2e::Emulator::Colour{false, -2};
  return pen;
}

}  // namespace

std::size_t FloorModel::cost(const Snapshot& before, const Snapshot& after) {
  std::size_t total = 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const Cell& want = after[static_cast<std::size_t>(r * cols + c)];
      if (before[static_cast<std::size_t>(r * cols + c)] == want) continue;
      // Reach (r, c): a move, or on the same row the unchanged cells
      // between written again (their bytes and any colour change).
      const bool there = cursorKnown && row == r && col == c;
      int best = (there ? 0 : moveCost(cursorKnown, row, col, r, c)) +
                 (penKnown ? penCost(pen, want) : penCost(unknownPen(), want));
      if (!there && cursorKnown && penKnown && row == r && col < c) {
        int rewrite = 0;
        Cell p = pen;
        for (int k = col; k < c; ++k) {
          const Cell& cell = after[static_cast<std::size_t>(r * cols + k)];
          rewrite += penCost(p, cell) + static_cast<int>(cell.text.size());
          p = cell;
        }
        best = std::min(best, rewrite + penCost(p, want));
      }
      total += static_cast<std::size_t>(best);
      pen = want;
      penKnown = true;
      total += want.text.size();
      cursorKnown = c + 1 < cols;
      row = r;
      col = c + 1;
    }
  }
  return total;
}

void Breakdown::add(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b == 0x1b && i + 1 < s.size() && s[i + 1] == '[') {
      std::size_t j = i + 2;
      bool privateMode = j < s.size() && (s[j] == '?' || s[j] == '>' || s[j] == '=');
      while (j < s.size() &&
             (static_cast<unsigned char>(s[j]) < 0x40 || static_cast<unsigned char>(s[j]) > 0x7e)) {
        ++j;
      }
      const char final = j < s.size() ? s[j] : '\0';
      const std::uint64_t n = std::min(j + 1, s.size()) - i;
      if (privateMode && (final == 'h' || final == 'l')) {
        modes += n, ++modeCount;
      } else if (std::string_view("HfABCDEFGd").find(final) != std::string_view::npos) {
        moves += n, ++moveCount;
      } else if (final == 'm') {
        colour += n, ++colourCount;
      } else if (std::string_view("KJX").find(final) != std::string_view::npos) {
        erase += n;
      } else {
        other += n;
      }
      i += n;
    } else if (b == 0x1b) {
      other += std::min<std::size_t>(2, s.size() - i);
      i += 2;
    } else if (b == '\r' || b == '\n' || b == '\b') {
      ++moves, ++moveCount, ++i;
    } else if (b < 0x20 || b == 0x7f) {
      ++other, ++i;
    } else {
      std::size_t n = 1;
      if (b >= 0xf0) {
        n = 4;
      } else if (b >= 0xe0) {
        n = 3;
      } else if (b >= 0xc0) {
        n = 2;
      }
      n = std::min(n, s.size() - i);
      text += n, ++cells, i += n;
    }
  }
}

}  // namespace bench
