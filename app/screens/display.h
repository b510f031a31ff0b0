// `potclock --watch`: a display that follows the game a clock on this machine
// runs, through the state file the clock keeps, on the clock's own screen
// but for the hint row. It reads and never writes.
#pragma once

#include <optional>
#include <string_view>

#include "app/disk/clocks.h"
#include "app/disk/statedir.h"

namespace potclock {

// Follows the game named `game` (empty: the unnamed one) in the state
// directory at `where` until Escape or q; a waiting screen while no game runs.
void watchGame(std::optional<StateLocation> where, std::string_view game,
               const Clocks& clocks = runtimeClocks());

}  // namespace potclock
