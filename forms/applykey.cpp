#include "forms/applykey.h"

#include <functional>

#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "forms/scoreboard.h"
#include "runtime/console/console.h"
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

struct KeyRow {
  int codes[2];  // 0 in the second slot when the row has one key
  KeyAction action;
};

// The first row whose code matches acts; codes 32 to 255 that no row takes
// are typed.
const KeyRow kKeyTable[] = {
    {{krx::K_UP, krx::K_SH_TAB}, KeyAction::ExitUp},
    {{krx::K_DOWN, krx::K_TAB}, KeyAction::ExitDown},
    {{krx::K_PGUP, krx::K_PGDN}, KeyAction::ExitWrite},
    {{krx::K_ENTER, 0}, KeyAction::ExitEnter},
    {{krx::K_CTRL_HOME, 0}, KeyAction::ExitTop},
    {{krx::K_ESC, 0}, KeyAction::Escape},
    {{krx::K_CTRL_W, 0}, KeyAction::ExitWrite},
    {{krx::K_RIGHT, 0}, KeyAction::Right},
    {{krx::K_CTRL_RIGHT, 0}, KeyAction::WordRight},
    {{krx::K_LEFT, 0}, KeyAction::Left},
    {{krx::K_CTRL_LEFT, 0}, KeyAction::WordLeft},
    {{krx::K_HOME, 0}, KeyAction::Home},
    {{krx::K_END, 0}, KeyAction::End},
    {{krx::K_INS, 0}, KeyAction::ToggleInsert},
    {{krx::K_BS, 0}, KeyAction::BackSpace},
    {{krx::K_DEL, 0}, KeyAction::Delete},
    {{krx::K_CTRL_T, 0}, KeyAction::DelWordRight},
    {{krx::K_CTRL_Y, 0}, KeyAction::DelEnd},
    {{krx::K_CTRL_BS, 0}, KeyAction::DelWordLeft},
    {{krx::K_CTRL_U, 0}, KeyAction::Undo},
};

}  // namespace

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

void GETAPPLYKEY(krx::Get& get, int key) {
  KRX_ROUTINE("GETAPPLYKEY");
  const Item bound = krx::SETKEY(key);
  if (bound.isBlock()) {
    KRX_LINE();
    GETDOSETKEY(bound.block(), get);
    return;
  }
  for (const auto& row : kKeyTable) {
    if (row.codes[0] == key || (row.codes[1] != 0 && row.codes[1] == key)) {
      applyKeyAction(get, row.action);
      return;
    }
  }
  if (key >= 32 && key <= 255) typeKey(get, key);
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
