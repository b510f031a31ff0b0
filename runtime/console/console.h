// Console services: screen output, keyboard, clock, sound and alerts, all
// working on the current runtime context.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/console/bindings.h"
#include "runtime/console/screen.h"
#include "runtime/lang/item.h"

namespace krx {

// Key codes as INKEY returns them.
// clang-format off
enum Key : int {
  K_CTRL_A = 1, K_HOME = 1,
  K_CTRL_B = 2, K_CTRL_RIGHT = 2,
  K_CTRL_C = 3, K_PGDN = 3,
  K_CTRL_D = 4, K_RIGHT = 4,
  K_CTRL_E = 5, K_UP = 5,
  K_CTRL_F = 6, K_END = 6,
  K_CTRL_G = 7, K_DEL = 7,
  K_CTRL_H = 8, K_BS = 8,
  K_CTRL_I = 9, K_TAB = 9,
  K_ENTER = 13,
  K_CTRL_R = 18, K_PGUP = 18,
  K_CTRL_S = 19, K_LEFT = 19,
  K_CTRL_T = 20,
  K_CTRL_U = 21,
  K_CTRL_V = 22, K_INS = 22,
  K_CTRL_W = 23,
  K_CTRL_X = 24, K_DOWN = 24,
  K_CTRL_Y = 25,
  K_CTRL_Z = 26, K_CTRL_LEFT = 26,
  K_ESC = 27,
  K_CTRL_HOME = 29,
  K_CTRL_END = 23,
  K_SPACE = 32,
  K_CTRL_BS = 127,
  K_SH_TAB = 271,
  K_ALT_ENTER = 284,
  // Alt with a letter: 256 plus the letter key's scan code (K_ALT_A is 286);
  // with a digit, '-' or '=': from K_ALT_1 on, in the keyboard's order.
  K_ALT_A = 286, K_ALT_X = 301,
  K_ALT_1 = 376,
  // Alt with any other printable character: this plus the character.
  K_ALT_OTHER = 4096,
  // Keys that the key table leaves out, in the same numbering.
  K_CTRL_PGUP = 31,
  K_CTRL_PGDN = 30,
  // A left mouse button press (while SETMOUSE is on); where it fell is the
  // backend's lastKeyEvent().
  K_LBUTTONDOWN = 1002,
};
// clang-format on

struct KeyboardState {
  std::deque<int> buffer;  // keys put there by _KEYBOARD
  int lastKey = 0;
  CodeBindings setKeys;
  bool mouse = false;
};

// --- Screen ---------------------------------------------------------------
std::string SETCOLOR();
std::string SETCOLOR(std::string_view spec);  // returns the previous spec
// Parses one "fg/bg" pair such as "GR+/B"; false when it is not one.
bool parseColorPair(std::string_view pair, Attr& attr);
void DEVPOS(int row, int col);
void DEVOUT(const Item& value);  // standard colour; cursor after the text
void DEVOUT(std::string_view text);
// Text converts to both Item and string_view; these pick the text form.
inline void DEVOUT(const char* text) {
  DEVOUT(std::string_view(text));
}
inline void DEVOUT(const std::string& text) {
  DEVOUT(std::string_view(text));
}
void DISPOUT(const Item& value);
void DISPOUT(std::string_view text, Attr attr);
void SETPOS(int row, int col);
int ROW();
int COL();
int MAXROW();
int MAXCOL();
// SCROLL(): whole screen. Missing bottom/right mean the last row/column.
void SCROLL();
void SCROLL(int top, int left);
void SCROLL(int top, int left, int bottom, int right);
// Screen rows top..bottom, as they show now, drawn by `draw` wherever the
// screen is filled out with blocks (Screen::setFineRows): until any of their
// cells changes or the next call. Without arguments: none.
void SETFINEROWS(int top, int bottom, FineDrawing draw);
void SETFINEROWS();
int SETCURSOR();
int SETCURSOR(int shape);  // 0 hides, 1 shows; returns the previous shape
// Console stream: the screen while setting 17 is on, and the alternate file
// while setting 18 is on and setting 19 names one.
// The values' display forms separated by one blank: a line as QOUT writes it.
std::string joinDisplayForms(std::initializer_list<Item> values);
void QOUT(std::initializer_list<Item> values = {});
void QQOUT(std::initializer_list<Item> values);
void OUTERR(std::string_view text);

// --- Keyboard -------------------------------------------------------------
int INKEY(double seconds = -1);  // no argument: do not wait; 0: wait without limit
int LASTKEY();
void _KEYBOARD(std::string_view text);
Item SETKEY(int code);                        // the callable bound, or nil
Item SETKEY(int code, const Item& callable);  // binds (nil unbinds); returns the previous
bool SETMOUSE();
bool SETMOUSE(bool on);  // returns the previous setting
// While it lives, input on `fd` ends a wait for a key at once, as if its
// deadline had come; the program reads the descriptor itself. Owned by a
// scope, so that no descriptor closed meanwhile is ever waited on.
class WakeOnInput {
 public:
  explicit WakeOnInput(int fd);
  ~WakeOnInput();
  WakeOnInput(const WakeOnInput&) = delete;
  WakeOnInput& operator=(const WakeOnInput&) = delete;
};

// --- Clock and sound ------------------------------------------------------
double SECONDS();  // seconds since midnight, with fractions
// The two clocks beneath it: seconds on the clock that the system cannot
// step (every wait is measured on it), and the wall clock as seconds since
// 1970-01-01 00:00 UTC, for times that must outlive the process.
double MONOSECONDS();
double EPOCHSECONDS();
std::string TIME();  // "hh:mm:ss"
Date DATE();
std::string DTOC(Date d);                      // in the date format of setting 4
void TONE(double frequency, double duration);  // duration in 1/18.2 s ticks

// --- Dialogs --------------------------------------------------------------
// Centred modal box; lines split at ";". Returns the option chosen from 1,
// or 0 when closed with Escape.
int ALERT(std::string_view text, const std::vector<std::string>& options = {"Ok"});

}  // namespace krx
