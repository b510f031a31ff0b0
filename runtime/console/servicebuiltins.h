// The console services' routines reachable by name from compiled text: keys,
// the clock and the settings. The language finds them through the runtime
// context, after its own built-ins; the work areas' own come after these
// (runtime/console/kept/workareaaccess.h).
#pragma once

#include <string_view>

#include "runtime/lang/registry.h"

namespace krx {

// The routine of that (upper-case) name; null when the services have none.
const PublicRoutine* findServiceBuiltin(std::string_view upperName);

}  // namespace krx
