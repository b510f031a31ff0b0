// The default error handler and its installation.
#pragma once

#include "runtime/lang/error.h"

namespace potclock {

// Installs the default handler, the callable "{|o| StandardEH(o)}"; runs
// before any other routine. The previous handler is not kept.
void ERRORSYS();

// The default handler: settles a few known errors quietly (0 for a division
// by zero, false for the ones with a harmless default), otherwise shows the
// message and acts on the user's answer: true retries, false takes the
// default, "Cancel" breaks out with the error, and an error exit writes the
// log and ends the program with exit code 1. Private: reached through the
// installed callable; declared here for tests.
krx::Item STANDARDEH(const krx::ErrorRef& oError);

}  // namespace potclock
