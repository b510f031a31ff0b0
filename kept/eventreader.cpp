#include "kept/eventreader.h"

#include <algorithm>
#include <cmath>

#include "forms/applykey.h"
#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/kept/events.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"

namespace potclock {

using krx::Item;

namespace {

// An event code from a callable's numeric answer or an mp1; anything that is
// not a whole number in range is no event.
int eventCode(const Item& value) {
  const double n = value.numOr(krx::EV_NONE);
  if (!std::isfinite(n) || n < -2147483648.0 || n > 2147483647.0) return krx::EV_NONE;
  return static_cast<int>(n);
}

// The cell of a click event: mp1 = {row, col}. False when mp1 is not that
// (an event posted by the program may carry anything).
bool clickCell(const Item& mp1, int& row, int& col) {
  if (!mp1.isArray() || mp1.array()->size() < 2) return false;
  const Item& r = (*mp1.array())[0];
  const Item& c = (*mp1.array())[1];
  if (!r.isNum() || !c.isNum()) return false;
  row = eventCode(r);
  col = eventCode(c);
  return true;
}

void handleNextEvent(krx::Get& get) {
  Item mp1, mp2, obj;
  const int event = krx::APPEVENT(mp1, mp2, obj, 0);
  GETHANDLEEVENT(get, event, mp1, mp2, obj);
}

}  // namespace

void GETEVENTREADER(krx::Get& get) {
  KRX_ROUTINE("GETEVENTREADER");
  KRX_LINE();
  if (!GETPREVALIDATE(get)) return;
  get.setFocus();

  // Entered by a click: the cursor starts under it.
  Item mp1, mp2;
  int row = 0, col = 0;
  if (krx::LASTAPPEVENT(mp1, mp2) == krx::EV_LBCLICK && clickCell(mp1, row, col)) {
    get.pos = std::max(1, get.posInBuffer(row, col));
    get.display();
  }

  bool refused = false;
  while (get.exitState == EXIT_NONE) {
    if (get.typeOut()) {
      // A field with no editable position is confirmed at once. Once its VALID
      // has refused it, nothing would change before the next confirmation, so
      // wait for an event first: a click elsewhere or a cancel can then leave.
      KRX_LINE();
      if (refused) handleNextEvent(get);
      if (get.exitState == EXIT_NONE && get.typeOut()) get.exitState = EXIT_ENTER;
    }
    KRX_LINE();
    while (get.exitState == EXIT_NONE) handleNextEvent(get);
    KRX_LINE();
    if (!GETPOSTVALIDATE(get)) {
      get.exitState = EXIT_NONE;
      refused = true;
    }
  }
  get.killFocus();
}

void GETHANDLEEVENT(krx::Get& get, int event, const Item& mp1, const Item& mp2, const Item& obj) {
  KRX_ROUTINE("GETHANDLEEVENT");
  const Item eventBound = krx::SETAPPEVENT(event);
  if (eventBound.isBlock()) {
    KRX_LINE();
    const Item result = GETDOSETEVENT(eventBound.block(), mp1, mp2, obj, get);
    if (!result.isNum()) return;
    event = eventCode(result);
    if (event == krx::EV_APPLY_KEY) event = eventCode(mp1);
  }

  // A key's own binding runs first and the key still acts. "No event" is not a
  // key: it must not run the binding of whatever key came last.
  if (event != krx::EV_NONE && event < krx::EV_BASE) {
    const Item keyBound = krx::SETKEY(krx::LASTKEY());
    KRX_LINE();
    if (keyBound.isBlock()) GETDOSETKEY(keyBound.block(), get);
  }

  if (event == krx::EV_CANCEL) {
    get.undo();
    get.exitState = EXIT_ESCAPE;
    return;
  }
  if (event == krx::EV_NONE || event == krx::EV_IGNORED) return;
  if (event == krx::EV_LBCLICK && obj.same(krx::SETAPPWINDOW())) {
    int row = 0, col = 0;
    KRX_LINE();
    if (clickCell(mp1, row, col)) READSTATUS()->LbClick(row, col);
    return;
  }
  if (event > krx::EV_BASE && !obj.isNil()) {
    if (krx::SET(krx::SET_HANDLEEVENT).logOr(false)) {
      if (auto target = obj.as<krx::Object>()) {
        const Item args[] = {Item(event), mp1, mp2};
        KRX_LINE();
        target->send("handleEvent", args);
      }
    }
    if (READSTATUS()->killRead) {
      get.exitState = EXIT_ESCAPE;
    } else if (!get.hasFocus()) {
      get.setFocus();
    }
    return;
  }

  actOnKey(get, event, KeyCodes::Event);
}

Item GETDOSETEVENT(const krx::BlockRef& callable, const Item& mp1, const Item& mp2, const Item& obj,
                   krx::Get& get) {
  KRX_ROUTINE("GETDOSETEVENT");
  return runBoundCallable(get, [&] {
    KRX_LINE();
    return callable ? callable->eval({mp1, mp2, obj, itemOf(get)}) : Item();
  });
}

void GETTOMOUSEPOS(krx::Get& get, int col) {
  KRX_ROUTINE("GETTOMOUSEPOS");
  // How far a field longer than its window has scrolled.
  const int offset = std::max(0, get.pos - get.width());
  if (!get.hasFocus()) return;
  get.pos = offset + col - get.col + 1;
  get.display();
}

}  // namespace potclock
