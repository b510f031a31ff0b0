// The bottom row's notice that the game is not being kept (the state
// writer tells why), on every screen of a game that has one.
#pragma once

#include <string_view>

namespace potclock {

// Shows `notice` on the bottom row of the screen, leaving the cursor and
// the colours as they were; nothing when it is empty.
void showKeepingNotice(std::string_view notice);

}  // namespace potclock
