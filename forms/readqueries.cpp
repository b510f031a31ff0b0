#include "forms/readqueries.h"

#include <utility>

#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"

namespace potclock {

using krx::Item;

namespace {

// A flag of the read state, set when `flag` is a logical; returns it as it was.
bool exchangeFlag(bool& state, const Item& flag) {
  return flag.isLog() ? std::exchange(state, flag.log()) : state;
}

// A logical setting, set when `flag` is not nil; returns it as it was
// (anything but a logical reads as false).
bool exchangeSetting(int number, const Item& flag) {
  const bool previous = krx::SET(number).logOr(false);
  if (!flag.isNil()) krx::SET(number, flag);
  return previous;
}

}  // namespace

bool UPDATED() {
  KRX_ROUTINE("UPDATED");
  return READSTATUS()->updated;
}

bool READUPDATED(const Item& flag) {
  KRX_ROUTINE("READUPDATED");
  return exchangeFlag(READSTATUS()->updated, flag);
}

bool READKILL(const Item& flag) {
  KRX_ROUTINE("READKILL");
  return exchangeFlag(READSTATUS()->killRead, flag);
}

std::string READVAR(const Item& name) {
  KRX_ROUTINE("READVAR");
  auto state = READSTATUS();
  return name.isStr() ? std::exchange(state->readVar, name.str()) : state->readVar;
}

bool READEXIT(const Item& flag) {
  KRX_ROUTINE("READEXIT");
  return exchangeSetting(krx::SET_EXIT, flag);
}

bool READINSERT(const Item& flag) {
  KRX_ROUTINE("READINSERT");
  return exchangeSetting(krx::SET_INSERT, flag);
}

bool GETENABLEEVENTS(const Item& flag) {
  KRX_ROUTINE("GETENABLEEVENTS");
  return exchangeFlag(READSTATUS()->useAppEvent, flag);
}

krx::ArrayRef GETLIST() {
  KRX_ROUTINE("GETLIST");
  return READSTATUS()->getList;
}

int GETLISTPOS() {
  KRX_ROUTINE("GETLISTPOS");
  return READSTATUS()->thisPos;
}

krx::GetRef GETLASTACTIVE() {
  KRX_ROUTINE("GETLASTACTIVE");
  return READSTATUS()->lastActiveGet;
}

krx::GetRef GETACTIVE() {
  KRX_ROUTINE("GETACTIVE");
  return READSTATUS()->activeGet;
}

krx::GetRef GETACTIVE(const krx::GetRef& get) {
  KRX_ROUTINE("GETACTIVE");
  auto state = READSTATUS();
  krx::GetRef previous = state->activeGet;
  if (!get) {
    state->activeGet = nullptr;
  } else if (get->hasFocus()) {
    state->activeGet = get;
  } else if (previous) {
    previous->exitState = EXIT_ACTIVATE;
    state->lastActiveGet = get;
  }
  return previous;
}

bool GETKILLACTIVE() {
  KRX_ROUTINE("GETKILLACTIVE");
  auto state = READSTATUS();
  krx::GetRef get = state->activeGet;
  if (!get) return true;
  bool valid = true;
  bool keptUpdated = state->updated;
  if (get->changed) {
    get->_assign();
    keptUpdated = true;
  }
  if (!GETPOSTVALIDATE(*get)) {
    get->undo();
    get->_assign();
    get->exitState = EXIT_WHEN;
    keptUpdated = state->updated;
    valid = false;
  }
  state->updated = keptUpdated;
  get->killFocus();
  return valid;
}

}  // namespace potclock
