// The program's public routines, entered into the registry at start-up so
// that text compiled at run time reaches them by name.
#pragma once

#include "runtime/lang/registry.h"

namespace potclock {

void registerPublicRoutines(krx::Registry& registry);

}  // namespace potclock
