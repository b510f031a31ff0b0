// Key application: one INKEY code turned into an action on the field being
// read (cursor move, edit, exit state, insert toggle or typing), or into a
// call of the callable bound to the key.
#pragma once

#include <functional>

#include "runtime/console/get.h"
#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace potclock {

void GETAPPLYKEY(krx::Get& get, int key);

// Runs a key-bound callable during a read with procName, procLine and
// readVar. A pending edit is assigned and validated first; if its VALID
// refuses it, the edit is dropped (field and variable get the old value back)
// and the callable still runs. Returns the callable's result.
krx::Item GETDOSETKEY(const krx::BlockRef& callable, krx::Get& get);

// The codes a reader receives keys under: the keyboard reader INKEY's, the
// event reader the event queue's, which name the physical key.
enum class KeyCodes { Inkey, Event };

// What a form key does to the field (a move, an edit, an exit state, the
// insert toggle), found by its code of either kind; codes 32 to 255 that are
// no form key are typed: "." and "," jump to the decimal position of a
// numeric field; otherwise insert or overstrike by setting 29, and typing
// past the last editable position rings the bell (setting 26) and leaves the
// field unless setting 27 asks for confirmation. Other codes do nothing.
void actOnKey(krx::Get& get, int code, KeyCodes codes);

// The frame around a key- or event-bound callable: a pending edit is made
// safe first (as GETDOSETKEY describes), `call` runs with the read's updated
// flag kept aside, then the field is refreshed from its variable and a killed
// read leaves it with exit state 7. Returns what `call` returned.
krx::Item runBoundCallable(krx::Get& get, const std::function<krx::Item()>& call);

}  // namespace potclock
