// Accessor callables: what an edit field reads and writes its target through.
// Called without an argument such a callable returns the target's value;
// called with one it stores it and returns it.
#pragma once

#include <string_view>

#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace potclock {

// Bound to the caller's variable itself: reads and writes through the callable
// are reads and writes of `var`, whose storage lives as long as the callable.
// An explicit nil argument stores nil.
krx::BlockRef ANCHORCB(const krx::VarRef& var);
// By value, or without an argument: bound to a fresh variable of its own that
// starts with the value (nil when none); writes do not reach the caller.
krx::BlockRef ANCHORCB(const krx::Item& value);
krx::BlockRef ANCHORCB();

// A field of the work area current at each call; null when the current area
// has no such field. `cField` may already be qualified with "->".
krx::BlockRef FIELDBLOCK(std::string_view cField);
// A field of the work area `area` (number or alias), whichever area is current
// at the call; null when that area has no such field. The current work area
// is the same afterwards.
krx::BlockRef FIELDWBLOCK(std::string_view cField, const krx::Item& area);
// A public or private variable looked up by name; null when none exists.
krx::BlockRef MEMVARBLOCK(std::string_view cVar);

// The current record into an array: `aData` is filled when it is an array
// (an all-object array is sent setData instead), else a new array of FCOUNT()
// field values is made. Returns the array.
krx::Item SCATTER(const krx::Item& aData = {});
// The array back into the current record (or getData to every element of an
// all-object array). Returns `aData` untouched; nothing happens to a non-array.
krx::Item GATHER(const krx::Item& aData);

}  // namespace potclock
