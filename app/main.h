// The main routine: the setup dialogue, then the timer.
#pragma once

#include <string_view>

namespace potclock {

void MAIN();
// MAIN's work for the game named `game` (empty: the unnamed one), run in a
// routine of the caller's.
void playNewGame(std::string_view game);

}  // namespace potclock
