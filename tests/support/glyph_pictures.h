// The large characters as the players see them: every glyph of the font as
// its six picture rows, top row first, drawn in the block characters
// themselves. Tests compare what the program draws with these pictures and
// compose expected screen rows from them, so a wrong stroke in the program's
// font shows up as a difference from the picture.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace expected {

struct GlyphPicture {
  char ch;                               // the character as the program is given it (code page 437)
  std::array<std::string_view, 6> rows;  // UTF-8, every row as wide as the glyph
};

// clang-format off
inline constexpr GlyphPicture kGlyphs[] = {
    {'A', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          " ▀▀  ▀▀"}},
    {'B', {
          "▒▒▒▒▒▄ ",
          "▒▒█▀▒▒▄",
          "▒▒▒▒▒▒█",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'C', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒█    ",
          "▒▒█    ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'D', {
          "▒▒▒▒▒▄ ",
          "▒▒█▀▒▒█",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒█▀",
          " ▀▀▀▀▀ "}},
    {'E', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▄ ",
          "▒▒█▀▀▀ ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'F', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▄ ",
          "▒▒█▀▀▀ ",
          "▒▒█    ",
          " ▀▀    "}},
    {'G', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒█▒▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'H', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          "▒▒█▀▒▒█",
          "▒▒█ ▒▒█",
          " ▀▀  ▀▀"}},
    {'I', {
          "▒▒▄",
          "▒▒█",
          "▒▒█",
          "▒▒█",
          "▒▒█",
          " ▀▀"}},
    {'J', {
          "    ▒▒▄",
          "    ▒▒█",
          "    ▒▒█",
          "▒▒▄ ▒▒█",
          " ▒▒▒▒█▀",
          "  ▀▀▀▀ "}},
    {'K', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒█▀",
          "▒▒█▀▒▒▄",
          "▒▒█ ▒▒█",
          " ▀▀  ▀▀"}},
    {'L', {
          "▒▒▄    ",
          "▒▒█    ",
          "▒▒█    ",
          "▒▒█    ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'M', {
          "▒▒▒▄▄▒▒▒▄",
          "▒▒█▒▒█▒▒█",
          "▒▒█ ▀▀▒▒█",
          "▒▒█   ▒▒█",
          "▒▒█   ▒▒█",
          " ▀▀    ▀▀"}},
    {'N', {
          "▒▒▒▄▄ ▒▒▄",
          "▒▒█▒▒█▒▒█",
          "▒▒█ ▀▒▒▒█",
          "▒▒█   ▒▒█",
          "▒▒█   ▒▒█",
          " ▀▀    ▀▀"}},
    {'O', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'P', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          "▒▒█▀▀▀▀",
          "▒▒█    ",
          " ▀▀    "}},
    {'Q', {
          "▒▒▒▒▒▒▄ ",
          "▒▒█▀▒▒█ ",
          "▒▒█ ▒▒█ ",
          "▒▒█▒▒▒█ ",
          "▒▒▒▒█▒▒▄",
          " ▀▀▀▀ ▀▀"}},
    {'R', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒█▀",
          "▒▒█▀▒▒▄",
          "▒▒█ ▒▒█",
          " ▀▀  ▀▀"}},
    {'S', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'T', {
          "▒▒▒▒▒▒▄",
          " ▀▒▒█▀▀",
          "  ▒▒█  ",
          "  ▒▒█  ",
          "  ▒▒█  ",
          "   ▀▀  "}},
    {'U', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'V', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          " ▒▒▒▒█▀",
          "  ▒▒█▀ ",
          "   ▀▀  "}},
    {'W', {
          "▒▒▄   ▒▒▄",
          "▒▒█   ▒▒█",
          "▒▒█   ▒▒█",
          "▒▒█▒▒▄▒▒█",
          " ▀▒▒▒▒█▀▀",
          "   ▀▀▀▀  "}},
    {'X', {
          "▒▒▄ ▒▒▄",
          " ▒▒▒▒█ ",
          "  ▒▒█  ",
          " ▒▒▒▒▄ ",
          "▒▒█▀▒▒▄",
          " ▀▀  ▀▀"}},
    {'Y', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          " ▒▒▒▒█▀",
          "  ▒▒█▀ ",
          "  ▒▒█  ",
          "   ▀▀  "}},
    {'Z', {
          "▒▒▒▒▒▒▄",
          " ▀▀▒▒█▀",
          "  ▒▒█  ",
          " ▒▒█   ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'1', {
          " ▒▒▒▄  ",
          "  ▒▒█  ",
          "  ▒▒█  ",
          "  ▒▒█  ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'2', {
          "▒▒▒▒▒▒▄",
          " ▀▀▀▒▒█",
          "▒▒▒▒▒▒█",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {'3', {
          "▒▒▒▒▒▒▄",
          " ▀▀▀▒▒█",
          " ▒▒▒▒▒█",
          "  ▀▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'4', {
          "▒▒▄ ▒▒▄",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▒▒█",
          "    ▒▒█",
          "     ▀▀"}},
    {'5', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'6', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▀▀▀",
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'7', {
          "▒▒▒▒▒▒▄",
          " ▀▀▀▒▒█",
          "    ▒▒█",
          "    ▒▒█",
          "    ▒▒█",
          "     ▀▀"}},
    {'8', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'9', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'0', {
          "▒▒▒▒▒▒▄",
          "▒▒█▀▒▒█",
          "▒▒█ ▒▒█",
          "▒▒█ ▒▒█",
          "▒▒▒▒▒▒█",
          " ▀▀▀▀▀▀"}},
    {'!', {
          "▒▒▄",
          "▒▒█",
          "▒▒█",
          " ▀▀",
          "▒▒▄",
          " ▀▀"}},
    {'.', {
          "   ",
          "   ",
          "   ",
          "   ",
          "▒▒▄",
          " ▀▀"}},
    {',', {
          "   ",
          "   ",
          "   ",
          "▒▒▄",
          " ▒█",
          "  ▀"}},
    {'\'', {
          "▒▒▄",
          " ▒█",
          "  ▀",
          "   ",
          "   ",
          "   "}},
    {'?', {
          "▒▒▒▒▄",
          " ▀▀▒█",
          " ▒▒▒█",
          "  ▀▀▀",
          " ▒▒▄ ",
          "  ▀▀ "}},
    {'-', {
          "       ",
          "       ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀",
          "       ",
          "       "}},
    {'=', {
          "       ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀",
          "       "}},
    {'_', {
          "       ",
          "       ",
          "       ",
          "       ",
          "▒▒▒▒▒▒▄",
          " ▀▀▀▀▀▀"}},
    {' ', {  // blank
          "     ",
          "     ",
          "     ",
          "     ",
          "     ",
          "     "}},
    {':', {
          "▒▒▄",
          " ▀▀",
          "   ",
          "   ",
          "▒▒▄",
          " ▀▀"}},
    {'/', {
          "    ▒▒▄",
          "   ▒▒█▀",
          "  ▒▒█▀ ",
          " ▒▒█▀  ",
          "▒▒█▀   ",
          " ▀▀    "}},
    {'\\', {  // backslash
          "▒▒▄    ",
          " ▒▒▄   ",
          "  ▒▒▄  ",
          "   ▒▒▄ ",
          "    ▒▒▄",
          "     ▀▀"}},
    {'\xFE', {  // small square, code 254
          "    ",
          "    ",
          "▒▒▒▄",
          "▒▒▒█",
          " ▀▀▀",
          "    "}},
};
// clang-format on

inline const GlyphPicture& glyph(char ch) {
  for (const GlyphPicture& g : kGlyphs)
    if (g.ch == ch) return g;
  throw std::invalid_argument(std::string("no picture for '") + ch + "'");
}

// Screen columns of a picture row: one per character, whatever its UTF-8
// length.
inline std::size_t columns(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// The six rows that show `phrase` in large characters from column 0: the
// pictures side by side with one blank between neighbours, then blanks up to
// `width` columns (the whole screen row by default). Every character of the
// phrase must have a picture.
inline std::array<std::string, 6> bigRows(std::string_view phrase, std::size_t width = 80) {
  std::array<std::string, 6> rows;
  for (std::size_t r = 0; r < 6; ++r) {
    for (std::size_t i = 0; i < phrase.size(); ++i) {
      if (i > 0) rows[r] += ' ';
      rows[r] += glyph(phrase[i]).rows[r];
    }
    const std::size_t used = columns(rows[r]);
    if (used < width) rows[r].append(width - used, ' ');
  }
  return rows;
}

}  // namespace expected
