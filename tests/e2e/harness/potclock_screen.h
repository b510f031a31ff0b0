// What the end-to-end tests of potclock share for reading its screen.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "harness/vterm_pty.h"

namespace e2e {

// Reads output until the program has been quiet for a moment, so that a
// screen seen in part (its top rows drawn, the rest still in the pipe) is
// seen whole.
void settle(VtermPty& term);

// The six screen rows, 80 cells each, that the program draws for a phrase
// in large characters from column 0.
std::array<std::string, 6> bigRows(std::string_view phrase);

}  // namespace e2e
