#include "runtime/console/eventcodes.h"

#include "runtime/console/backend.h"
#include "runtime/console/console.h"

namespace krx {

namespace {

struct KeyPair {
  int inkey;
  int event;
};

// INKEY codes beside the event codes of the same keys. From INKEY to event the
// first row with the code counts, so an ambiguous code takes its row's usual
// meaning; from event to INKEY the first row with the event counts. A code in
// no row is the same in both.
const KeyPair kKeyPairs[] = {
    {K_UP, EK_UP},
    {K_DOWN, EK_DOWN},
    {K_LEFT, EK_LEFT},
    {K_RIGHT, EK_RIGHT},
    {K_HOME, EK_HOME},
    {K_END, EK_END},
    {K_PGUP, EK_PGUP},
    {K_PGDN, EK_PGDN},
    {K_INS, EK_INS},
    {K_DEL, EK_DEL},
    {K_CTRL_HOME, EK_CTRL_HOME},
    {K_CTRL_W, EK_CTRL_W},  // 23 is Ctrl-W unless the backend knows better
    {K_CTRL_END, EK_CTRL_END},
    {K_CTRL_LEFT, EK_CTRL_LEFT},
    {K_CTRL_RIGHT, EK_CTRL_RIGHT},
    {K_CTRL_BS, EK_CTRL_BS},
    {K_SH_TAB, EK_SH_TAB},
    {K_LBUTTONDOWN, EV_LBCLICK},
};

}  // namespace

int eventOfInkey(int inkey) {
  for (const auto& pair : kKeyPairs)
    if (pair.inkey == inkey) return pair.event;
  return inkey;
}

int inkeyOfEvent(int event) {
  for (const auto& pair : kKeyPairs)
    if (pair.event == event) return pair.inkey;
  return event;
}

Backend::KeyEvent Backend::lastKeyEvent(int inkey) {
  return KeyEvent{eventOfInkey(inkey)};
}

}  // namespace krx
