// The default error handler and its installation.
#pragma once

#include "runtime/error.h"

namespace potclock {

// Installs the default handler; runs before any other routine.
void ERRORSYS();

}  // namespace potclock
