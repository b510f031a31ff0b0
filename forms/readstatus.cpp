#include "forms/readstatus.h"

#include <variant>
#include <vector>

#include "forms/readqueries.h"
#include "forms/scoreboard.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "runtime/lang/registry.h"
#include "runtime/lang/strings.h"

namespace potclock {

using krx::arg;
using krx::Item;

namespace {

// The one read state of the program, kept by the runtime; made by the first
// READSTATUS().
struct TheReadStatus {
  ReadStatusRef object;
};

// --- Members by name ----------------------------------------------------------
// Text compiled at run time reaches the state as `oStatus:thisPos`; the table
// maps each name to its C++ field. Class-level rows always address the shared
// state, whichever instance the message was sent to.

using Field = std::variant<bool ReadStatus::*, int ReadStatus::*, std::string ReadStatus::*,
                           krx::ArrayRef ReadStatus::*, krx::GetRef ReadStatus::*>;

struct MemberRow {
  std::string_view name;  // upper case
  Field field;
  bool classLevel;
};

const MemberRow kMembers[] = {
    {"UPDATED", &ReadStatus::updated, true},
    {"KILLREAD", &ReadStatus::killRead, true},
    {"LASTSTATUS", &ReadStatus::lastStatus, true},
    {"HITTOP", &ReadStatus::hitTop, true},
    {"HITBOTTOM", &ReadStatus::hitBottom, true},
    {"LASTEXITSTATE", &ReadStatus::lastExitState, true},
    {"LASTPOS", &ReadStatus::lastPos, true},
    {"THISPOS", &ReadStatus::thisPos, true},
    {"NEXTPOS", &ReadStatus::nextPos, true},
    {"GETLIST", &ReadStatus::getList, true},
    {"ACTIVEGET", &ReadStatus::activeGet, true},
    {"LASTACTIVEGET", &ReadStatus::lastActiveGet, true},
    {"PROCNAME", &ReadStatus::procName, true},
    {"PROCLINE", &ReadStatus::procLine, true},
    {"READVAR", &ReadStatus::readVar, true},
    {"USEAPPEVENT", &ReadStatus::useAppEvent, true},
    {"LKILLREAD", &ReadStatus::lKillRead, false},
    {"LHITTOP", &ReadStatus::lHitTop, false},
    {"LHITBOTTOM", &ReadStatus::lHitBottom, false},
    {"AGETLIST", &ReadStatus::aGetList, false},
    {"OACTIVEGET", &ReadStatus::oActiveGet, false},
    {"OLASTACTIVEGET", &ReadStatus::oLastActiveGet, false},
    {"NLASTEXITSTATE", &ReadStatus::nLastExitState, false},
    {"NTHISPOS", &ReadStatus::nThisPos, false},
    {"NLASTPOS", &ReadStatus::nLastPos, false},
    {"CPROCNAME", &ReadStatus::cProcName, false},
    {"NPROCLINE", &ReadStatus::nProcLine, false},
    {"CREADVAR", &ReadStatus::cReadVar, false},
};

const MemberRow* findMember(std::string_view name) {
  std::string upper = krx::upperAscii(name);
  for (const auto& row : kMembers)
    if (row.name == upper) return &row;
  return nullptr;
}

struct ReadField {
  ReadStatus& self;
  Item operator()(bool ReadStatus::*f) const { return self.*f; }
  Item operator()(int ReadStatus::*f) const { return self.*f; }
  Item operator()(std::string ReadStatus::*f) const { return self.*f; }
  Item operator()(krx::ArrayRef ReadStatus::*f) const { return self.*f ? Item(self.*f) : Item(); }
  Item operator()(krx::GetRef ReadStatus::*f) const { return self.*f ? Item(self.*f) : Item(); }
};

struct WriteField {
  ReadStatus& self;
  const Item& value;
  void operator()(bool ReadStatus::*f) const { self.*f = value.log(); }
  void operator()(int ReadStatus::*f) const { self.*f = static_cast<int>(value.num()); }
  void operator()(std::string ReadStatus::*f) const { self.*f = value.str(); }
  void operator()(krx::ArrayRef ReadStatus::*f) const {
    self.*f = value.isNil() ? nullptr : value.array();
  }
  void operator()(krx::GetRef ReadStatus::*f) const {
    if (value.isNil()) {
      self.*f = nullptr;
    } else if (auto get = value.as<krx::Get>()) {
      self.*f = get;
    } else {
      krx::raiseForResult(krx::makeError(krx::EG_ARG, "argument error", "READSTATUS", {value}));
    }
  }
};

}  // namespace

// --- Creation -------------------------------------------------------------------

ReadStatusRef READSTATUS() {
  KRX_ROUTINE("READSTATUS");
  ReadStatusRef& theReadStatus = krx::RT().programState.get<TheReadStatus>().object;
  if (!theReadStatus) {
    auto created = std::make_shared<ReadStatus>();
    created->isClass_ = true;
    created->initClass();
    theReadStatus = created;
  }
  return theReadStatus;
}

ReadStatusRef ReadStatus::New() {
  return std::make_shared<ReadStatus>();
}

std::string GETVARNAME(const krx::Get& get) {
  KRX_ROUTINE("GETVARNAME");
  return get.name.isStr() ? krx::UPPER(get.name.str()) : std::string();
}

Item itemOf(krx::Get& get) {
  return Item(std::static_pointer_cast<krx::Get>(get.shared_from_this()));
}

krx::GetRef ReadStatus::getAt(int pos) const {
  if (!getList || pos < 1 || pos > getCount()) return nullptr;
  return (*getList)[static_cast<std::size_t>(pos - 1)].as<krx::Get>();
}

// --- Class methods -----------------------------------------------------------------

ReadStatus& ReadStatus::initClass() {
  updated = killRead = hitTop = hitBottom = false;
  useAppEvent = krx::SETMOUSE();
  procName.clear();
  readVar.clear();
  procLine = lastExitState = lastPos = thisPos = nextPos = 0;
  getList = krx::makeArray();
  lastStatus = krx::makeArray();
  return *this;
}

ReadStatus& ReadStatus::save() {
  auto copy = New();
  copy->lKillRead = killRead;
  copy->lHitTop = hitTop;
  copy->lHitBottom = hitBottom;
  copy->aGetList = getList;
  copy->oActiveGet = activeGet;
  copy->oLastActiveGet = lastActiveGet;
  copy->nLastExitState = lastExitState;
  copy->nThisPos = thisPos;
  copy->nLastPos = lastPos;
  copy->cProcName = procName;
  copy->nProcLine = procLine;
  copy->cReadVar = readVar;
  if (!lastStatus) lastStatus = krx::makeArray();
  lastStatus->push_back(Item(copy));

  updated = killRead = hitTop = hitBottom = false;
  lastExitState = nextPos = thisPos = lastPos = procLine = 0;
  procName.clear();
  readVar.clear();
  activeGet = lastActiveGet = nullptr;
  return *this;
}

ReadStatus& ReadStatus::restore() {
  if (!lastStatus || lastStatus->empty()) return *this;
  auto saved = lastStatus->back().as<ReadStatus>();
  if (saved) {
    killRead = saved->lKillRead;
    hitTop = saved->lHitTop;
    hitBottom = saved->lHitBottom;
    lastExitState = saved->nLastExitState;
    procName = saved->cProcName;
    readVar = saved->cReadVar;
    procLine = saved->nProcLine;
    getList = saved->aGetList;
    lastPos = saved->nLastPos;
    thisPos = saved->nThisPos;
    activeGet = saved->oActiveGet;
    lastActiveGet = saved->oLastActiveGet;
  }
  lastStatus->pop_back();
  return *this;
}

ReadStatus& ReadStatus::settle(const Item& posArg) {
  int pos = thisPos;
  if (posArg.isNum() && posArg.num() >= 1 && !(posArg.num() > lastPos && lastPos > 0))
    pos = static_cast<int>(posArg.num());

  int e = EXIT_DOWN;
  if (pos != 0) {
    auto get = getAt(pos);
    e = get ? get->exitState : EXIT_NONE;
  }

  if (e == EXIT_ESCAPE || e == EXIT_WRITE) {
    thisPos = 0;
    return *this;
  }

  if (e == EXIT_WHEN) {
    // A refused WHEN replays the movement that led here; the bounce flags stay
    // set so that fields refusing in both directions end the read.
    e = lastExitState;
    if (e == EXIT_ACTIVATE) e = EXIT_DOWN;
  } else {
    lastPos = pos;
    hitTop = hitBottom = false;
  }

  thisPos = pos;
  switch (e) {
    case EXIT_CLICK:
      thisPos = nextPos;
      nextPos = 0;
      break;
    case EXIT_UP:
      --thisPos;
      break;
    case EXIT_DOWN:
    case EXIT_ENTER:
      ++thisPos;
      break;
    case EXIT_TOP:
      thisPos = 1;
      hitTop = true;
      e = EXIT_DOWN;
      break;
    case EXIT_BOTTOM:
      thisPos = getCount();
      hitBottom = true;
      e = EXIT_UP;
      break;
    case EXIT_ACTIVATE: {
      thisPos = 0;
      for (int i = 1; i <= getCount(); ++i) {
        if (lastActiveGet && getAt(i) == lastActiveGet) {
          thisPos = i;
          break;
        }
      }
      break;
    }
    default:
      break;
  }

  if (thisPos < 1) {
    if (!READEXIT() && !hitBottom) {
      hitTop = true;
      thisPos = lastPos;
      e = EXIT_DOWN;
    } else {
      thisPos = 0;
    }
  } else if (thisPos > getCount()) {
    if (!READEXIT() && e != EXIT_ENTER && !hitTop) {
      hitBottom = true;
      thisPos = lastPos;
      e = EXIT_UP;
    } else {
      thisPos = 0;
    }
  }

  lastExitState = e;
  if (thisPos != 0) {
    if (auto get = getAt(thisPos)) get->exitState = e;
  }
  return *this;
}

ReadStatus& ReadStatus::postActiveGet() {
  auto current = getAt(thisPos);
  if (lastActiveGet != current) lastActiveGet = activeGet;
  activeGet = current;
  readVar = activeGet ? GETVARNAME(*activeGet) : std::string();
  if (!lastActiveGet) lastActiveGet = activeGet;
  DISPSCOREBOARD();
  return *this;
}

ReadStatus& ReadStatus::LbClick(int row, int col) {
  if (activeGet) {
    int inField = activeGet->posInBuffer(row, col);
    if (inField != 0) {
      activeGet->pos = inField;
      activeGet->display();
      return *this;
    }
  }
  nextPos = 0;
  const int count = getCount();
  for (int i = 1; i <= count; ++i) {
    auto get = getAt(i);
    if (get && get->posInBuffer(row, col) != 0) {
      nextPos = i;
      break;
    }
  }
  if (nextPos != 0 && activeGet) activeGet->exitState = EXIT_CLICK;
  return *this;
}

// --- Reachable by name -------------------------------------------------------------

Item ReadStatus::getMember(std::string_view name) {
  const MemberRow* row = findMember(name);
  if (!row) return Object::getMember(name);
  ReadStatus& target = row->classLevel && !isClass_ ? *READSTATUS() : *this;
  return std::visit(ReadField{target}, row->field);
}

void ReadStatus::setMember(std::string_view name, const Item& value) {
  const MemberRow* row = findMember(name);
  if (!row) return Object::setMember(name, value);
  ReadStatus& target = row->classLevel && !isClass_ ? *READSTATUS() : *this;
  std::visit(WriteField{target, value}, row->field);
}

Item ReadStatus::send(std::string_view method, std::span<const Item> args) {
  const std::string m = krx::upperAscii(method);
  if (m == "INIT") return Item(shared_from_this());
  ReadStatusRef state =
      isClass_ ? std::static_pointer_cast<ReadStatus>(shared_from_this()) : READSTATUS();
  if (m == "INITCLASS") {
    state->initClass();
  } else if (m == "SETTLE") {
    state->settle(arg(args, 0));
  } else if (m == "SAVE") {
    state->save();
  } else if (m == "RESTORE") {
    state->restore();
  } else if (m == "POSTACTIVEGET") {
    state->postActiveGet();
  } else if (m == "LBCLICK") {
    state->LbClick(static_cast<int>(arg(args, 0).num()), static_cast<int>(arg(args, 1).num()));
  } else if (m == "NEW") {
    return Item(New());
  } else {
    return Object::send(method, args);
  }
  return Item(state);
}

}  // namespace potclock
