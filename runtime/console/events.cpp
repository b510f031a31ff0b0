#include "runtime/console/events.h"

#include "runtime/console/appwindow.h"
#include "runtime/console/backend.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"

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

// The event a key from the backend makes; LASTKEY follows keys, not clicks.
AppEvent eventOfKey(Runtime& rt, int inkey, const Backend::KeyEvent& key) {
  AppEvent ev;
  ev.code = key.code;
  ev.obj = SETAPPWINDOW();
  if (ev.code == EV_LBCLICK) {
    ev.mp1 = Item(makeArray({Item(key.row), Item(key.col)}));
  } else if (ev.code < EV_BASE) {
    rt.keyboard.lastKey = inkey;
  }
  return ev;
}

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

int APPEVENT(Item& mp1, Item& mp2, Item& obj, double timeout) {
  Runtime& rt = RT();
  AppEvent ev;
  if (!rt.events.posted.empty()) {
    ev = rt.events.posted.front();
    rt.events.posted.pop_front();
    // A posted key counts as typed, so that its SETKEY binding is found.
    if (ev.code != EV_NONE && ev.code < EV_BASE) rt.keyboard.lastKey = inkeyOfEvent(ev.code);
  } else if (!rt.keyboard.buffer.empty()) {
    // Stuffed text carries no more than INKEY codes.
    const int inkey = rt.keyboard.buffer.front();
    rt.keyboard.buffer.pop_front();
    ev = eventOfKey(rt, inkey, Backend::KeyEvent{eventOfInkey(inkey)});
  } else {
    const double now = rt.backend->monotonic();
    const double deadline = timeout > 0 ? now + timeout : timeout == 0 ? -1 : now;
    const int inkey = rt.backend->readKey(rt.screen, deadline);
    if (inkey == 0) {
      mp1 = mp2 = obj = Item();
      return EV_NONE;
    }
    ev = eventOfKey(rt, inkey, rt.backend->lastKeyEvent(inkey));
  }
  rt.events.last = ev;
  mp1 = ev.mp1;
  mp2 = ev.mp2;
  obj = ev.obj;
  return ev.code;
}

int LASTAPPEVENT() {
  return RT().events.last.code;
}

int LASTAPPEVENT(Item& mp1, Item& mp2) {
  Item obj;
  return LASTAPPEVENT(mp1, mp2, obj);
}

int LASTAPPEVENT(Item& mp1, Item& mp2, Item& obj) {
  const AppEvent& last = RT().events.last;
  mp1 = last.mp1;
  mp2 = last.mp2;
  obj = last.obj;
  return last.code;
}

Item SETAPPEVENT(int code) {
  return RT().events.setAppEvents.at(code);
}

Item SETAPPEVENT(int code, const Item& callable) {
  return RT().events.setAppEvents.bind(code, callable);
}

void PostAppEvent(int code, const Item& mp1, const Item& mp2, const Item& obj) {
  RT().events.posted.push_back({code, mp1, mp2, obj});
}

}  // namespace krx
