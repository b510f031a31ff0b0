// The two clocks a game on disk is stamped and read with, handed in, so that
// the writer, a resumed game and the display run in tests on clocks of the
// tests' own.
#pragma once

#include <functional>

#include "runtime/console/console.h"

namespace potclock {

struct Clocks {
  std::function<double()> monotonic;  // seconds, never stepped
  std::function<double()> wall;       // seconds since the epoch
};

// The runtime's clocks: the terminal's, or a headless test's virtual ones.
inline Clocks runtimeClocks() {
  return {krx::MONOSECONDS, krx::EPOCHSECONDS};
}

}  // namespace potclock
