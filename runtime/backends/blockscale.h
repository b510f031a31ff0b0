// How one cell of the 80x25 screen shows when the screen is filled out to a
// larger terminal: as a block of sx by sy terminal cells.
//
// Block characters scale exactly, so that large text stays large text: a full
// block or a shade covers the whole block, a half block covers its half (with
// an odd count the middle row or column takes the matching half block).
// Every other character is drawn once, in the block's text row at its first
// column, and the rest of the block shows the cell's background; the cursor
// of the cell goes there too. Lines of the box-drawing characters are carried
// on through the block, along the text row and down the first column, so
// that a frame stays closed however far apart its cells are drawn.
#pragma once

#include "runtime/console/screen.h"

namespace krx {

// The row of an sy-row block where its character (and the cursor) is drawn:
// the middle row, the lower of the two middle ones when sy is even.
constexpr int blockTextRow(int sy) {
  return sy / 2;
}

// Writes the sx by sy terminal cells that show `cell` to `out`, row by row,
// rows `stride` cells apart. Every cell is given a character that is either
// blank or one whose shape the terminal draws as it is.
void scaleCell(const Cell& cell, int sx, int sy, Cell* out, int stride);

}  // namespace krx
