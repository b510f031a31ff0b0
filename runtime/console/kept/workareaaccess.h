// The work areas as the language reaches them through the runtime context:
// the fields of the current one, and FieldGet, FieldPut, FieldPos, FCount and
// Select by name.
#pragma once

#include "runtime/console/context.h"

namespace krx {

// Lets compiled text run in `rt` reach its work areas. The start routine
// does it for every program; a runtime made without it has no fields.
void offerWorkAreas(Runtime& rt);

}  // namespace krx
