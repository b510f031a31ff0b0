// The timer's clock: seconds since midnight that keep counting over midnight.
#pragma once

namespace potclock {

// Resets the clock when lReset is true; returns the reading. A reading before
// the first reset raises the runtime error of comparing nil with a number.
double MYSECONDS(bool lReset);

}  // namespace potclock
