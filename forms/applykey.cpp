#include "forms/applykey.h"

#include <functional>

#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "forms/scoreboard.h"
#include "runtime/console/console.h"
#include "runtime/console/eventcodes.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using krx::Item;

namespace {

bool settingOn(int number) {
  return krx::SET(number).logOr(false);
}

void ringBell() {
  if (settingOn(krx::SET_BELL)) krx::QQOUT({krx::CHR(7)});
}

enum class KeyAction {
  ExitUp,
  ExitDown,
  ExitWrite,
  ExitEnter,
  ExitTop,
  ExitBottom,
  Escape,  // undo and leave, only while setting 28 allows it
  Right,
  WordRight,
  Left,
  WordLeft,
  Home,
  End,
  ToggleInsert,  // and refresh the scoreboard
  BackSpace,
  Delete,
  DelWordRight,
  DelEnd,
  DelWordLeft,
  Undo,
};

struct FormKey {
  int inkey[2];  // 0 for none
  int event[2];  // 0 for none
  KeyAction action;

  bool has(int code, KeyCodes codes) const {
    const int* of = codes == KeyCodes::Inkey ? inkey : event;
    return code != 0 && (of[0] == code || of[1] == code);
  }
};

// The first row with the code acts. INKEY gives Ctrl-End the code of Ctrl-W;
// only the event queue tells them apart, so only its reader has the move to
// the last field.
// clang-format off
const FormKey kFormKeys[] = {
    {{krx::K_UP, krx::K_SH_TAB},  {krx::EK_UP, krx::EK_SH_TAB},  KeyAction::ExitUp},
    {{krx::K_DOWN, krx::K_TAB},   {krx::EK_DOWN, krx::EK_TAB},   KeyAction::ExitDown},
    {{krx::K_PGUP, krx::K_PGDN},  {krx::EK_PGUP, krx::EK_PGDN},  KeyAction::ExitWrite},
    {{krx::K_ENTER},              {krx::EK_ENTER},               KeyAction::ExitEnter},
    {{krx::K_CTRL_HOME},          {krx::EK_CTRL_HOME},           KeyAction::ExitTop},
    {{krx::K_ESC},                {krx::EK_ESC},                 KeyAction::Escape},
    {{},                          {krx::EK_CTRL_END},            KeyAction::ExitBottom},
    {{krx::K_CTRL_W},             {krx::EK_CTRL_W},              KeyAction::ExitWrite},
    {{krx::K_RIGHT},              {krx::EK_RIGHT},               KeyAction::Right},
    {{krx::K_CTRL_RIGHT},         {krx::EK_CTRL_RIGHT},          KeyAction::WordRight},
    {{krx::K_LEFT},               {krx::EK_LEFT},                KeyAction::Left},
    {{krx::K_CTRL_LEFT},          {krx::EK_CTRL_LEFT},           KeyAction::WordLeft},
    {{krx::K_HOME},               {krx::EK_HOME},                KeyAction::Home},
    {{krx::K_END},                {krx::EK_END},                 KeyAction::End},
    {{krx::K_INS},                {krx::EK_INS},                 KeyAction::ToggleInsert},
    {{krx::K_BS},                 {krx::EK_BS},                  KeyAction::BackSpace},
    {{krx::K_DEL},                {krx::EK_DEL},                 KeyAction::Delete},
    {{krx::K_CTRL_T},             {krx::EK_CTRL_T},              KeyAction::DelWordRight},
    {{krx::K_CTRL_Y},             {krx::EK_CTRL_Y},              KeyAction::DelEnd},
    {{krx::K_CTRL_BS},            {krx::EK_CTRL_BS},             KeyAction::DelWordLeft},
    {{krx::K_CTRL_U},             {krx::EK_CTRL_U},              KeyAction::Undo},
};
// clang-format on

void applyKeyAction(krx::Get& get, KeyAction action) {
  // clang-format off
  switch (action) {
    case KeyAction::ExitUp:       get.exitState = EXIT_UP; break;
    case KeyAction::ExitDown:     get.exitState = EXIT_DOWN; break;
    case KeyAction::ExitWrite:    get.exitState = EXIT_WRITE; break;
    case KeyAction::ExitEnter:    get.exitState = EXIT_ENTER; break;
    case KeyAction::ExitTop:      get.exitState = EXIT_TOP; break;
    case KeyAction::ExitBottom:   get.exitState = EXIT_BOTTOM; break;
    case KeyAction::Right:        get.right(); break;
    case KeyAction::WordRight:    get.wordRight(); break;
    case KeyAction::Left:         get.left(); break;
    case KeyAction::WordLeft:     get.wordLeft(); break;
    case KeyAction::Home:         get.home(); break;
    case KeyAction::End:          get._end(); break;
    case KeyAction::BackSpace:    get.backSpace(); break;
    case KeyAction::Delete:       get.del(); break;
    case KeyAction::DelWordRight: get.delWordRight(); break;
    case KeyAction::DelEnd:       get.delEnd(); break;
    case KeyAction::DelWordLeft:  get.delWordLeft(); break;
    case KeyAction::Undo:         get.undo(); break;
    // clang-format on
    case KeyAction::Escape:
      if (settingOn(krx::SET_ESCAPE)) {
        get.undo();
        get.exitState = EXIT_ESCAPE;
      }
      break;
    case KeyAction::ToggleInsert:
      krx::SET(krx::SET_INSERT, !settingOn(krx::SET_INSERT));
      DISPSCOREBOARD();
      break;
  }
}

void typeKey(krx::Get& get, int key) {
  const char c = static_cast<char>(key);
  if (get.type() == "N" && (c == '.' || c == ',')) {
    get.condClear();
    get.toDecPos();
    return;
  }
  if (settingOn(krx::SET_INSERT)) {
    get.insert(c);
  } else {
    get.overstrike(c);
  }
  if (get.typeOut()) {
    ringBell();
    if (!settingOn(krx::SET_CONFIRM)) get.exitState = EXIT_ENTER;
  }
}

}  // namespace

void actOnKey(krx::Get& get, int code, KeyCodes codes) {
  for (const FormKey& key : kFormKeys) {
    if (key.has(code, codes)) {
      applyKeyAction(get, key.action);
      return;
    }
  }
  if (code >= 32 && code <= 255) typeKey(get, code);
}

void GETAPPLYKEY(krx::Get& get, int key) {
  KRX_ROUTINE("GETAPPLYKEY");
  const Item bound = krx::SETKEY(key);
  if (bound.isBlock()) {
    KRX_LINE();
    GETDOSETKEY(bound.block(), get);
    return;
  }
  actOnKey(get, key, KeyCodes::Inkey);
}

Item runBoundCallable(krx::Get& get, const std::function<Item()>& call) {
  ReadStatusRef state = READSTATUS();
  if (get.changed) {
    const int keptPos = get.pos;
    get._assign();
    bool keptUpdated = state->updated;
    if (!GETPOSTVALIDATE(get)) {
      get.undo();
      get._assign();
      ringBell();
    } else {
      keptUpdated = true;
    }
    get.pos = keptPos;
    state->updated = keptUpdated;
  }

  // The callable may run a read of its own; this read's flag survives it.
  const bool keptUpdated = state->updated;
  Item result = call();
  DISPSCOREBOARD();
  get.updateBuffer();
  state->updated = keptUpdated;
  if (state->killRead) get.exitState = EXIT_ESCAPE;
  return result;
}

Item GETDOSETKEY(const krx::BlockRef& callable, krx::Get& get) {
  KRX_ROUTINE("GETDOSETKEY");
  return runBoundCallable(get, [&] {
    ReadStatusRef state = READSTATUS();
    KRX_LINE();
    return callable ? callable->eval(
                          {Item(state->procName), Item(state->procLine), Item(state->readVar)})
                    : Item();
  });
}

}  // namespace potclock
