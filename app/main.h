// The main routine: the setup dialogue, then the timer.
#pragma once

namespace potclock {

void MAIN();

}  // namespace potclock
