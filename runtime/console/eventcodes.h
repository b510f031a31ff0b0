// Event codes: what the backend reports a key under (Backend::lastKeyEvent)
// and the event queue delivers. Unlike INKEY codes they name the physical
// key: INKEY 5 is both Up and Ctrl-E, and the event codes tell them apart
// when the backend knows which it was.
#pragma once

namespace krx {

// Codes below EV_BASE are keys; the others are events.
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

// The event code a key has when its INKEY code is all that is known: the
// usual meaning of the code (5 is Up, 23 is Ctrl-W, 1002 a left click).
int eventOfInkey(int inkey);
// The INKEY code that the key with event code `event` produces (Up gives 5,
// Ctrl-End 23); codes that name no key come back unchanged.
int inkeyOfEvent(int event);

}  // namespace krx
