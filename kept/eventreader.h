// The event reader: reads a field from the runtime's event queue instead of
// INKEY, so that mouse clicks move between fields and within one, event-bound
// callables run, and events for window objects reach them.
#pragma once

#include "runtime/console/get.h"
#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace potclock {

// Reads one field from the event queue, from its WHEN gate to its VALID gate.
void GETEVENTREADER(krx::Get& get);

// Applies one event to the focused field: its SETAPPEVENT callable first (a
// non-numeric answer swallows the event, a numeric one replaces it), then a
// key's SETKEY callable, then the event's own action.
void GETHANDLEEVENT(krx::Get& get, int event, const krx::Item& mp1, const krx::Item& mp2,
                    const krx::Item& obj);

// Runs an event-bound callable with mp1, mp2, obj and the Get, inside the same
// frame as a key-bound one (GETDOSETKEY). Returns the callable's result.
krx::Item GETDOSETEVENT(const krx::BlockRef& callable, const krx::Item& mp1, const krx::Item& mp2,
                        const krx::Item& obj, krx::Get& get);

// Puts a focused field's cursor under screen column `col`.
void GETTOMOUSEPOS(krx::Get& get, int col);

}  // namespace potclock
