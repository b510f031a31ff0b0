// The large characters as they show on a screen filled out to a large
// terminal: each cell of a picture becomes a block of sx by sy terminal
// cells. A full block or a shade covers its block; a half block covers its
// half of the rows, and with an odd number of rows the middle one is split
// as the character itself is. Written out by hand for one to four rows.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace expected {

// A block's column for a picture character, top row first, `sy` rows
// (1 to 4); every column of the block is alike.
inline const std::vector<std::string>& blockColumn(std::string_view glyph, int sy) {
  using Columns = std::array<std::vector<std::string>, 5>;
  static const Columns full{{{}, {"█"}, {"█", "█"}, {"█", "█", "█"}, {"█", "█", "█", "█"}}};
  static const Columns shade{{{}, {"▒"}, {"▒", "▒"}, {"▒", "▒", "▒"}, {"▒", "▒", "▒", "▒"}}};
  static const Columns upper{{{}, {"▀"}, {"█", " "}, {"█", "▀", " "}, {"█", "█", " ", " "}}};
  static const Columns lower{{{}, {"▄"}, {" ", "█"}, {" ", "▄", "█"}, {" ", " ", "█", "█"}}};
  static const Columns blank{{{}, {" "}, {" ", " "}, {" ", " ", " "}, {" ", " ", " ", " "}}};
  if (sy < 1 || sy > 4) throw std::invalid_argument("no block column of that height");
  const auto at = static_cast<std::size_t>(sy);
  if (glyph == "█") return full[at];
  if (glyph == "▒") return shade[at];
  if (glyph == "▀") return upper[at];
  if (glyph == "▄") return lower[at];
  if (glyph == " ") return blank[at];
  throw std::invalid_argument("no block column for " + std::string(glyph));
}

// The UTF-8 characters of a picture row, one per screen column.
inline std::vector<std::string> pictureCells(std::string_view utf8) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    out.emplace_back(utf8.substr(i, n));
    i += n;
  }
  return out;
}

// Picture rows as the terminal rows that show them filled: sy rows for each,
// every picture cell sx terminal cells wide.
template <std::size_t N>
std::vector<std::string> filledRows(const std::array<std::string, N>& rows, int sx, int sy) {
  std::vector<std::string> out;
  for (const std::string& row : rows) {
    const std::vector<std::string> cells = pictureCells(row);
    for (int dy = 0; dy < sy; ++dy) {
      std::string line;
      for (const std::string& cell : cells) {
        const std::string& shown = blockColumn(cell, sy)[static_cast<std::size_t>(dy)];
        for (int dx = 0; dx < sx; ++dx) line += shown;
      }
      out.push_back(line);
    }
  }
  return out;
}

}  // namespace expected
