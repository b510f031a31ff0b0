// The database engines' set-up, the frame routine the start-up record names
// between the error system's and the console's: loads the engines, builds
// the composite, and sets the date format of the run.
#pragma once

namespace potclock {

void DBESYS();

}  // namespace potclock
