// Turns the 80x25 screen model into the fewest bytes that bring the
// terminal up to date: only changed cells, the cheapest cursor moves, colour
// changes merged into one sequence.
//
// The screen shows in one of two ways: centred, one terminal cell for each
// of its cells; or filled, each of its cells a block of sx by sy terminal
// cells (sx = columns / 80, sy = rows / 25), the whole centred in what is
// left over (blockscale.h says how a cell looks as a block). Filled, a band
// of rows that the screen gives a picture of its own for (Screen::
// setFineRows) shows that picture instead, cell for terminal cell, for as
// long as the screen holds it and it fits. Either way the
// painter works on the grid of terminal cells that shows the screen, and
// writes only the terminal cells that differ from what the terminal shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/backends/termcaps.h"
#include "runtime/console/screen.h"

namespace krx {

class ScreenPainter {
 public:
  // The most terminal cells a screen cell takes, across or down, filled.
  static constexpr int kMaxScale = 16;

  explicit ScreenPainter(TermCaps caps);

  // The terminal's size; the next paint draws everything.
  void resize(int rows, int cols);
  // Filled or centred; the next paint draws everything when it changes.
  void setFilled(bool on);
  bool filled() const { return filled_; }
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
  // Terminal cells a screen cell takes, across and down: 1 unless filled.
  int scaleX() const { return sx_; }
  int scaleY() const { return sy_; }
  // The screen cell (row, column) drawn at a terminal cell; nullopt outside
  // the screen or while the notice shows.
  std::optional<std::pair<int, int>> screenCellAt(int termRow, int termCol) const;

 private:
  struct Pen {
    bool known = false;
    Attr attr = 0;
  };
  std::string penChange(Attr want, bool blank, Pen& pen) const;
  bool sameLook(const Cell& a, const Cell& b) const;
  void layout();
  void expand(const Screen& screen);
  void expandFine(const Screen& screen);
  void paintRow(std::string& out, int row, bool eraseLines);
  // Rows and columns below are of the grid of terminal cells that shows the
  // screen, (0, 0) at (top_, left_).
  std::string rewrite(int row, int fromCol, int toCol, Pen& pen) const;
  void moveTo(std::string& out, int row, int col);
  void putCell(std::string& out, int row, int col, const Cell& cell);
  void clearAll(std::string& out);
  void drawNotice(std::string& out);
  void cursorTo(std::string& out, const Screen& screen);

  TermCaps caps_;
  bool mergeSgr_ = false;  // colour changes can share one CSI ... m
  std::array<std::string, 16> fgPart_, bgPart_;
  int rows_ = 25, cols_ = 80;
  int top_ = 0, left_ = 0;
  bool fits_ = true;
  bool filled_ = false;
  int sx_ = 1, sy_ = 1;
  int gridRows_ = Screen::kRows, gridCols_ = Screen::kCols;
  bool cleared_ = false;  // the terminal has been cleared since the last resize
  // The grid: what it should show, what the terminal shows, and where that
  // is known.
  std::vector<Cell> want_, front_;
  std::vector<std::uint8_t> known_;
  // The screen cells `want_` was made from, the screen rows `want_` holds
  // as blocks of those cells, and the screen rows whose terminal cells may
  // differ from `want_`.
  std::array<Cell, Screen::kRows * Screen::kCols> expandedFrom_{};
  std::array<bool, Screen::kRows> rowScaled_{};
  std::array<bool, Screen::kRows> rowClean_{};
  // The screen's band of fine rows last looked at (0: none), and the rows
  // `want_` holds its picture in (none while fineTop_ > fineBottom_).
  std::uint64_t fineSerial_ = 0;
  int fineTop_ = 0, fineBottom_ = -1;
  // The terminal cursor, in terminal cells, when known.
  bool cursorKnown_ = false;
  int curRow_ = 0, curCol_ = 0;
  int cursorShown_ = -1;  // -1 unknown, 0 hidden, 1 shown
  Pen pen_;
  std::uint64_t paintedVersion_ = 0;
  std::array<int, 3> paintedCursor_{-1, -1, -1};
};

}  // namespace krx
