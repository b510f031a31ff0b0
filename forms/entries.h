// The form system's public routines as the registry calls them: by name, with
// dynamic arguments, so that text compiled at run time reaches them. Each
// adapter checks and converts its arguments and calls the native routine.
#pragma once

#include <cstddef>
#include <span>

#include "runtime/console/get.h"
#include "runtime/lang/item.h"

namespace potclock {

using EntryArgs = std::span<const krx::Item>;

// The Get an adapter takes at `i`. An argument of the wrong type raises an
// argument error; a substitute of the right type from the handler is used,
// otherwise null, and the routine is skipped.
krx::GetRef getArg(EntryArgs args, std::size_t i, const char* routine);
// A whole number from a numeric argument (an event code, a column); 0 for
// anything else, and clamped so that no value converts out of range.
int intArg(EntryArgs args, std::size_t i);

krx::Item FIELDBLOCK_entry(EntryArgs args);       // 1 parameter
krx::Item FIELDWBLOCK_entry(EntryArgs args);      // 2
krx::Item MEMVARBLOCK_entry(EntryArgs args);      // 1
krx::Item ANCHORCB_entry(EntryArgs args);         // 1
krx::Item SCATTER_entry(EntryArgs args);          // 1
krx::Item GATHER_entry(EntryArgs args);           // 1
krx::Item READMODAL_entry(EntryArgs args);        // 2
krx::Item GETREADER_entry(EntryArgs args);        // 1
krx::Item GETAPPLYKEY_entry(EntryArgs args);      // 2
krx::Item GETPREVALIDATE_entry(EntryArgs args);   // 1
krx::Item GETPOSTVALIDATE_entry(EntryArgs args);  // 1
krx::Item GETDOSETKEY_entry(EntryArgs args);      // 2
krx::Item GETACTIVE_entry(EntryArgs args);        // 1
krx::Item UPDATED_entry(EntryArgs args);          // 0
krx::Item READEXIT_entry(EntryArgs args);         // 1
krx::Item READINSERT_entry(EntryArgs args);       // 1
krx::Item READKILL_entry(EntryArgs args);         // 1
krx::Item READUPDATED_entry(EntryArgs args);      // 1
krx::Item READVAR_entry(EntryArgs args);          // 1
krx::Item DISPSCOREBOARD_entry(EntryArgs args);   // 0
krx::Item RANGECHECK_entry(EntryArgs args);       // 3
krx::Item GETLASTACTIVE_entry(EntryArgs args);    // 0
krx::Item GETKILLACTIVE_entry(EntryArgs args);    // 0
krx::Item GETLIST_entry(EntryArgs args);          // 0
krx::Item GETLISTPOS_entry(EntryArgs args);       // 0
krx::Item GETENABLEEVENTS_entry(EntryArgs args);  // 1
krx::Item READSTATUS_entry(EntryArgs args);       // 0, class function

}  // namespace potclock
