// Text at a screen position in the standard colour, as every screen of the
// dialogue and the timer writes it.
#pragma once

#include <string_view>

#include "runtime/console/console.h"

namespace potclock {

inline void say(int row, int col, std::string_view text) {
  krx::DEVPOS(row, col);
  krx::DEVOUT(text);
}

// Centred on the 80 columns; what is wider is cut at the right edge.
inline void sayCentred(int row, std::string_view text) {
  text = text.substr(0, 80);
  say(row, static_cast<int>((80 - text.size()) / 2), text);
}

}  // namespace potclock
