#include "forms/readqueries.h"

#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"

namespace potclock {

using krx::Item;

namespace {

// A logical setting's value; anything else reads as false.
bool settingOn(int number) {
  return krx::SET(number).logOr(false);
}

}  // namespace

bool UPDATED() {
  KRX_ROUTINE("UPDATED");
  return READSTATUS()->updated;
}

bool READUPDATED(const Item& flag) {
  KRX_ROUTINE("READUPDATED");
  auto state = READSTATUS();
  const bool previous = state->updated;
  if (flag.isLog()) state->updated = flag.log();
  return previous;
}

bool READKILL(const Item& flag) {
  KRX_ROUTINE("READKILL");
  auto state = READSTATUS();
  const bool previous = state->killRead;
  if (flag.isLog()) state->killRead = flag.log();
  return previous;
}

std::string READVAR(const Item& name) {
  KRX_ROUTINE("READVAR");
  auto state = READSTATUS();
  std::string previous = state->readVar;
  if (name.isStr()) state->readVar = name.str();
  return previous;
}

bool READEXIT(const Item& flag) {
  KRX_ROUTINE("READEXIT");
  const bool previous = settingOn(krx::SET_EXIT);
  if (!flag.isNil()) krx::SET(krx::SET_EXIT, flag);
  return previous;
}

bool READINSERT(const Item& flag) {
  KRX_ROUTINE("READINSERT");
  const bool previous = settingOn(krx::SET_INSERT);
  if (!flag.isNil()) krx::SET(krx::SET_INSERT, flag);
  return previous;
}

bool GETENABLEEVENTS(const Item& flag) {
  KRX_ROUTINE("GETENABLEEVENTS");
  auto state = READSTATUS();
  const bool previous = state->useAppEvent;
  if (flag.isLog()) state->useAppEvent = flag.log();
  return previous;
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
