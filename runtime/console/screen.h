// The screen model: 25 rows by 80 columns of code page 437 bytes with colour
// attributes, the cursor and the current colour slots. Backends draw it; the
// program only ever writes to the model.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krx {

// A colour attribute: foreground in the low nibble, background in the high
// nibble, each 0-15 (8 and above are the bright colours).
using Attr = std::uint8_t;
constexpr Attr makeAttr(int fg, int bg) {
  return static_cast<Attr>((bg << 4) | fg);
}

struct Cell {
  std::uint8_t ch = ' ';
  Attr attr = 0x07;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// Colour slots of a colour setting, in SETCOLOR order.
enum ColorSlot : int { CLR_STANDARD, CLR_ENHANCED, CLR_BORDER, CLR_BACKGROUND, CLR_UNSELECTED };

class Screen;

// Terminal cells, top row first: what a band of screen rows shows where the
// terminal has cells to spare.
struct FinePicture {
  int cols = 0;
  int rows = 0;
  std::vector<Cell> cells;  // rows * cols
};

// Draws the band that stands for some rows of `screen` in `cols` by `rows`
// terminal cells, or gives nullopt when it cannot: the rows then show as
// blocks like all the others.
using FineDrawing =
    std::function<std::optional<FinePicture>(const Screen& screen, int cols, int rows)>;

struct FineRows {
  int top = 0;
  int bottom = -1;
  FineDrawing draw;
  std::uint64_t serial = 0;     // a new one each time rows are given
  std::vector<Cell> standsFor;  // the cells of the rows when given
};

class Screen {
 public:
  static constexpr int kRows = 25;
  static constexpr int kCols = 80;

  Cell& at(int r, int c) { return cells_[r * kCols + c]; }
  const Cell& at(int r, int c) const { return cells_[r * kCols + c]; }

  // Writes bytes from (row, col) in `attr`, clipped at the right edge and
  // outside the screen. Returns the column after the last byte written.
  int write(int row, int col, std::string_view bytes, Attr attr);
  // Blanks a region (inclusive, clipped to the screen) in `attr`.
  void fill(int top, int left, int bottom, int right, Attr attr);
  // Moves a region (inclusive, clipped) up one row and blanks its last row
  // in `attr`: the console stream's new line at the bottom of the screen.
  void scrollUp(int top, int left, int bottom, int right, Attr attr);

  // The bytes of one row, for tests and diagnostics.
  std::string rowBytes(int row) const;

  // Rows top..bottom, as they show now, are drawn by `draw` at the
  // terminal's own resolution wherever the screen is filled out with blocks
  // larger than one cell; the owner of the rows knows a better picture of
  // them than blocks of single characters. The band holds only as long as
  // those cells stay as they are: any change to them, by anyone, shows the
  // rows as blocks again until they are given anew, so a band can never show
  // something the rows no longer say.
  void setFineRows(int top, int bottom, FineDrawing draw);
  void clearFineRows();
  // The band while its rows are as they were when given; nullptr otherwise.
  const FineRows* fineRows() const;

  // Counts every change, so that a backend can skip a pass with nothing new.
  std::uint64_t version() const { return version_; }
  void touch() { ++version_; }

  // The cursor. It may lie off the screen (past the right edge after text
  // that reached it); text written there is clipped away, and a backend
  // shows the cursor clamped to the screen.
  int row = 0;
  int col = 0;
  bool cursorVisible = true;
  std::array<Attr, 5> colors{0x07, 0x70, 0x07, 0x07, 0x70};
  std::string colorSpec = "W/N,N/W,N/N,N/N,N/W";

 private:
  std::array<Cell, kRows * kCols> cells_{};
  std::uint64_t version_ = 0;
  std::optional<FineRows> fine_;
  std::uint64_t fineSerial_ = 0;
};

// The Unicode shape of a code page 437 byte (block characters among them).
char32_t cp437ToUnicode(std::uint8_t byte);
// Decodes one UTF-8 sequence at `pos` and moves past it; a malformed
// sequence yields U+FFFD and consumes one byte, so decoding always advances.
char32_t decodeUtf8(std::string_view s, std::size_t& pos);
// Appends one code point as UTF-8.
void appendUtf8(std::string& out, char32_t cp);
// UTF-8 text to code page 437 bytes; characters outside the code page become "?".
std::string utf8ToCp437(std::string_view utf8);
// Code page 437 bytes to UTF-8 text. Bytes below 0x80 stay ASCII, control
// characters included, so that line ends keep their meaning.
std::string cp437ToUtf8(std::string_view bytes);
// Code page 437 bytes as a screen shows them, in UTF-8: every byte is its
// shape, control bytes included (1 is a smiling face, not a control).
std::string cp437ShapesToUtf8(std::string_view bytes);

}  // namespace krx
