// Turns the 80x25 screen model into the fewest bytes that bring the
// terminal up to date: only changed cells, the cheapest cursor moves, colour
// changes merged into one sequence.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "runtime/screen.h"
#include "runtime/termcaps.h"

namespace krx {

class ScreenPainter {
 public:
  explicit ScreenPainter(TermCaps caps);

  // The terminal's size; the next paint draws everything.
  void resize(int rows, int cols);
  // The terminal's contents are unknown (after a resume): draw everything.
  void invalidate();
  // Bytes that bring the terminal up to date with `screen`; empty when it
  // already is.
  std::string paint(const Screen& screen);

  // False while the terminal is smaller than the screen (a notice shows).
  bool fits() const { return fits_; }
  // Terminal cell of screen cell (0, 0).
  int top() const { return top_; }
  int left() const { return left_; }

 private:
  struct Pen {
    bool known = false;
    Attr attr = 0;
  };
  std::string penChange(Attr want, bool blank, Pen& pen) const;
  bool sameLook(const Cell& a, const Cell& b) const;
  std::string rewrite(const Screen& screen, int row, int fromCol, int toCol, Pen& pen) const;
  void moveTo(std::string& out, const Screen& screen, int row, int col);
  void putCell(std::string& out, int row, int col, const Cell& cell);
  void clearAll(std::string& out);
  void drawNotice(std::string& out);
  void cursorTo(std::string& out, const Screen& screen);

  TermCaps caps_;
  std::array<std::string, 256> glyphs_;  // UTF-8 shape of each byte
  bool mergeSgr_ = false;                // colour changes can share one CSI ... m
  std::array<std::string, 16> fgPart_, bgPart_;
  int rows_ = 25, cols_ = 80;
  int top_ = 0, left_ = 0;
  bool fits_ = true;
  bool cleared_ = false;  // the terminal has been cleared since the last resize
  std::array<Cell, Screen::kRows * Screen::kCols> front_{};
  std::array<bool, Screen::kRows * Screen::kCols> known_{};
  // The terminal cursor, in terminal cells, when known.
  bool cursorKnown_ = false;
  int curRow_ = 0, curCol_ = 0;
  int cursorShown_ = -1;  // -1 unknown, 0 hidden, 1 shown
  Pen pen_;
  std::uint64_t paintedVersion_ = 0;
  std::array<int, 3> paintedCursor_{-1, -1, -1};
};

}  // namespace krx
