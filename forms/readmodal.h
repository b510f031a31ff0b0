// The modal read: edits a list of Gets from the keyboard until the user
// leaves the form, with WHEN and VALID gates on every field.
#pragma once

#include "runtime/console/get.h"
#include "runtime/lang/error.h"
#include "runtime/lang/item.h"

namespace potclock {

// Reads the Gets of `getList` (Items holding Gets, in screen order), starting
// at `pos` (from 1; normally nil for the first field). True when some field's
// value was assigned to its variable. The cursor ends at (MAXROW() - 1, 0).
// The caller's line, which key-bound callables receive, comes from `from`.
bool READMODAL(const krx::ArrayRef& getList, const krx::Item& pos = {},
               const krx::CallSite& from = krx::CallSite::here());

// Reads one field from the keyboard, from its WHEN gate to its VALID gate.
void GETREADER(krx::Get& get);

// WHEN gate: true when the field may be entered. Sets exitState to 0 (enter),
// 8 (refused) or 7 (the read was killed).
bool GETPREVALIDATE(krx::Get& get);

// VALID gate: true when the field may be left. A changed value is assigned
// to the variable before the VALID callable sees it, and stays assigned even
// when the callable refuses it.
bool GETPOSTVALIDATE(krx::Get& get);

}  // namespace potclock
