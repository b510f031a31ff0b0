// The event queue: keys, mouse clicks and events posted by the program, one
// queue per runtime. Keys arrive under event key codes of their own, which
// unlike INKEY codes name the physical key (INKEY 5 is both Up and Ctrl-E;
// the event codes tell them apart when the backend knows which it was).
#pragma once

#include <deque>

#include "runtime/console/bindings.h"
#include "runtime/lang/item.h"

namespace krx {

// Event codes. Codes below EV_BASE are keys; the others are events.
// clang-format off
enum EventCode : int {
  EV_NONE      = 0,        // no event (a time-out)
  EV_BASE      = 0x100000, // first code that is not a key
  EV_APPLY_KEY = 0x100004, // an event callable's answer: apply the key code in mp1
  EV_LBCLICK   = 0x10000D, // left button click; mp1 = {row, col}
  EV_IGNORED   = 0x100016, // delivered, but nothing to do
  EV_CANCEL    = 0x100038, // undo the field and end the read
};

// Event key codes of the keys whose INKEY codes are ambiguous. Characters
// and the control keys Backspace 8, Tab 9, Enter 13, Ctrl-T 20, Ctrl-U 21,
// Ctrl-W 23, Ctrl-Y 25 and Escape 27 keep their INKEY codes.
enum EventKey : int {
  EK_BS         = 8,
  EK_TAB        = 9,
  EK_ENTER      = 13,
  EK_CTRL_T     = 20,
  EK_CTRL_U     = 21,
  EK_CTRL_W     = 23,
  EK_CTRL_Y     = 25,
  EK_ESC        = 27,
  EK_PGUP       = 0x10021,
  EK_PGDN       = 0x10022,
  EK_END        = 0x10023,
  EK_HOME       = 0x10024,
  EK_LEFT       = 0x10025,
  EK_UP         = 0x10026,
  EK_RIGHT      = 0x10027,
  EK_DOWN       = 0x10028,
  EK_INS        = 0x1002D,
  EK_DEL        = 0x1002E,
  EK_SH_TAB     = 0x20009,
  EK_CTRL_BS    = 0x8007F,
  EK_CTRL_END   = 0x90023,
  EK_CTRL_HOME  = 0x90024,
  EK_CTRL_LEFT  = 0x90025,
  EK_CTRL_RIGHT = 0x90027,
};
// clang-format on

struct AppEvent {
  int code = EV_NONE;
  Item mp1, mp2, obj;
};

// Per-runtime state of the event queue, kept in the runtime context.
struct EventState {
  std::deque<AppEvent> posted;  // PostAppEvent, ahead of keys and clicks
  AppEvent last;                // the event APPEVENT returned last
  CodeBindings setAppEvents;
};

// The event code a key has when its INKEY code is all that is known: the
// usual meaning of the code (5 is Up, 23 is Ctrl-W, 1002 a left click).
int eventOfInkey(int inkey);
// The INKEY code that the key with event code `event` produces (Up gives 5,
// Ctrl-End 23); codes that name no key come back unchanged.
int inkeyOfEvent(int event);

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
