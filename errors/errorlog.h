// The error log written when a runtime error ends the program.
#pragma once

#include "runtime/lang/error.h"

namespace potclock {

// Writes a report of `oError`, the runtime and the call stack (from level
// nStack + 1 as seen from here) to KRXERROR.LOG in the current directory, or
// to the first of KRXERROR.001 to KRXERROR.999 that can be opened, and tells
// the user where it went. The output settings are left as they were found.
// When no name can be opened the user is told so and the program ends with
// exit code 1.
void ERRORLOG(const krx::ErrorRef& oError, int nStack);

}  // namespace potclock
