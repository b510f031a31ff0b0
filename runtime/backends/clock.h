// The one clock every wait of the runtime is measured on. The wall clock can
// be stepped (by the administrator, by time synchronisation) and stops during
// a suspend; a level's minutes must do neither, so waits, deadlines and the
// tones' lengths all read this one.
#pragma once

namespace krx {

// Seconds on the clock that the system cannot step and that counts through
// a suspend (CLOCK_BOOTTIME). Async-signal-safe.
double bootClock();

// Sleeps until `until` on bootClock().
void sleepUntil(double until);

}  // namespace krx
