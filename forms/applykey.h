// Key application: one INKEY code turned into an action on the field being
// read (cursor move, edit, exit state, insert toggle or typing), or into a
// call of the callable bound to the key.
#pragma once

#include "runtime/get.h"
#include "runtime/item.h"
#include "runtime/object.h"

namespace potclock {

void GETAPPLYKEY(krx::Get& get, int key);

// Runs a key-bound callable during a read with procName, procLine and
// readVar. A pending edit is assigned and validated first; if its VALID
// refuses it, the edit is dropped (field and variable get the old value back)
// and the callable still runs. Returns the callable's result.
krx::Item GETDOSETKEY(const krx::BlockRef& callable, krx::Get& get);

}  // namespace potclock
