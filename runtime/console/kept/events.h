// The event queue: keys, mouse clicks and events posted by the program, one
// queue per runtime, under event codes (runtime/console/eventcodes.h).
#pragma once

#include "runtime/console/eventcodes.h"
#include "runtime/lang/item.h"

namespace krx {

// Waits for the next event and returns its code, filling mp1, mp2 and obj.
// `timeout` in seconds; 0 waits without limit, a negative one not at all. On a time-out returns
// EV_NONE with the three cleared, and LASTAPPEVENT still tells the event before. Posted events come
// first, then keys put there by _KEYBOARD, then what the backend delivers. A key, typed or posted,
// sets LASTKEY to its INKEY code; a click leaves LASTKEY alone. What the backend delivers comes
// with obj = SETAPPWINDOW(); a left click with mp1 = {row, col} (screen cell).
int APPEVENT(Item& mp1, Item& mp2, Item& obj, double timeout = 0);
// The code of the event APPEVENT returned last (EV_NONE before any), and its
// parameters.
int LASTAPPEVENT();
int LASTAPPEVENT(Item& mp1, Item& mp2);
int LASTAPPEVENT(Item& mp1, Item& mp2, Item& obj);
// The callable bound to an event code, or nil; the two-argument form binds
// (nil unbinds) and returns the previous binding.
Item SETAPPEVENT(int code);
Item SETAPPEVENT(int code, const Item& callable);
// Queues an event behind those already posted; APPEVENT delivers it before
// any key.
void PostAppEvent(int code, const Item& mp1 = {}, const Item& mp2 = {}, const Item& obj = {});

}  // namespace krx
