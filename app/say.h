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

}  // namespace potclock
