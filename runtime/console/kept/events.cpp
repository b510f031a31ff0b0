#include "runtime/console/kept/events.h"

#include <deque>

#include "runtime/console/appwindow.h"
#include "runtime/console/backend.h"
#include "runtime/console/bindings.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"

namespace krx {

namespace {

struct AppEvent {
  int code = EV_NONE;
  Item mp1, mp2, obj;
};

// The queue's state, one per runtime.
struct EventState {
  std::deque<AppEvent> posted;  // PostAppEvent, ahead of keys and clicks
  AppEvent last;                // the event APPEVENT returned last
  CodeBindings setAppEvents;
};

EventState& events() {
  return RT().keptState.get<EventState>();
}

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

int APPEVENT(Item& mp1, Item& mp2, Item& obj, double timeout) {
  Runtime& rt = RT();
  EventState& queue = events();
  AppEvent ev;
  if (!queue.posted.empty()) {
    ev = queue.posted.front();
    queue.posted.pop_front();
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
  queue.last = ev;
  mp1 = ev.mp1;
  mp2 = ev.mp2;
  obj = ev.obj;
  return ev.code;
}

int LASTAPPEVENT() {
  return events().last.code;
}

int LASTAPPEVENT(Item& mp1, Item& mp2) {
  Item obj;
  return LASTAPPEVENT(mp1, mp2, obj);
}

int LASTAPPEVENT(Item& mp1, Item& mp2, Item& obj) {
  const AppEvent& last = events().last;
  mp1 = last.mp1;
  mp2 = last.mp2;
  obj = last.obj;
  return last.code;
}

Item SETAPPEVENT(int code) {
  return events().setAppEvents.at(code);
}

Item SETAPPEVENT(int code, const Item& callable) {
  return events().setAppEvents.bind(code, callable);
}

void PostAppEvent(int code, const Item& mp1, const Item& mp2, const Item& obj) {
  events().posted.push_back({code, mp1, mp2, obj});
}

}  // namespace krx
