// What a redraw's bytes cost: the fewest a renderer could have sent for the
// same change of screen, and what the bytes sent were spent on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "countdown/timed_program.h"

namespace bench {

// The fewest bytes a renderer that knows the terminal's contents needs to
// take it from `before` to `after`: each changed cell written once (its UTF-8
// bytes), the cursor moved by the cheapest ANSI motion or by rewriting the
// unchanged cells between, the pen changed only where the look changes.
// Keeps the cursor and pen across calls, as a renderer would.
struct FloorModel {
  int rows = 25, cols = 80;
  bool cursorKnown = false;
  int row = 0, col = 0;
  bool penKnown = false;
  e2e::Emulator::Cell pen;

  std::size_t cost(const Snapshot& before, const Snapshot& after);
};

// The bytes of a terminal's output by kind.
struct Breakdown {
  std::uint64_t text = 0;   // characters for cells (ASCII and UTF-8)
  std::uint64_t cells = 0;  // cells those characters fill
  std::uint64_t moves = 0;  // cursor motion: CSI H f A B C D E F G d, CR, LF, BS
  std::uint64_t moveCount = 0;
  std::uint64_t colour = 0;  // CSI ... m
  std::uint64_t colourCount = 0;
  std::uint64_t erase = 0;  // CSI K J X, and the like
  std::uint64_t modes = 0;  // CSI ? ... h/l (cursor shown or hidden, and others)
  std::uint64_t modeCount = 0;
  std::uint64_t other = 0;  // other escapes and control bytes

  // Counts the bytes of `s` by kind.
  void add(std::string_view s);
};

}  // namespace bench
