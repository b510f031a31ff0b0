// The event reader's public routines as the registry calls them, beside the
// form system's (forms/entries.h) and with the same argument rules.
#pragma once

#include "forms/entries.h"

namespace potclock {

krx::Item GETEVENTREADER_entry(EntryArgs args);  // 1 parameter
krx::Item GETHANDLEEVENT_entry(EntryArgs args);  // 5
krx::Item GETDOSETEVENT_entry(EntryArgs args);   // 5
krx::Item GETTOMOUSEPOS_entry(EntryArgs args);   // 2

}  // namespace potclock
