#include "forms/applykey.h"

#include <functional>

#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "forms/scoreboard.h"
#include "runtime/console.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "runtime/strings.h"

namespace potclock {

using krx::Item;

namespace {

bool settingOn(int number) {
  return krx::SET(number).logOr(false);
}

void ringBell() {
  if (settingOn(krx::SET_BELL)) krx::QQOUT({krx::CHR(7)});
}

void escape(krx::Get& get) {
  if (!settingOn(krx::SET_ESCAPE)) return;
  get.undo();
  get.exitState = EXIT_ESCAPE;
}

void toggleInsert(krx::Get&) {
  krx::SET(krx::SET_INSERT, !settingOn(krx::SET_INSERT));
  DISPSCOREBOARD();
}

struct KeyAction {
  int codes[2];  // 0 in the second slot when the row has one key
  std::function<void(krx::Get&)> act;
};

auto setExit(int state) {
  return [state](krx::Get& get) { get.exitState = state; };
}

// The first row whose code matches acts; codes 32 to 255 that no row takes
// are typed.
const std::vector<KeyAction>& keyTable() {
  static const std::vector<KeyAction> table = {
      {{krx::K_UP, krx::K_SH_TAB}, setExit(EXIT_UP)},
      {{krx::K_DOWN, krx::K_TAB}, setExit(EXIT_DOWN)},
      {{krx::K_PGUP, krx::K_PGDN}, setExit(EXIT_WRITE)},
      {{krx::K_ENTER, 0}, setExit(EXIT_ENTER)},
      {{krx::K_CTRL_HOME, 0}, setExit(EXIT_TOP)},
      {{krx::K_ESC, 0}, escape},
      {{krx::K_CTRL_W, 0}, setExit(EXIT_WRITE)},
      {{krx::K_RIGHT, 0}, [](krx::Get& g) { g.right(); }},
      {{krx::K_CTRL_RIGHT, 0}, [](krx::Get& g) { g.wordRight(); }},
      {{krx::K_LEFT, 0}, [](krx::Get& g) { g.left(); }},
      {{krx::K_CTRL_LEFT, 0}, [](krx::Get& g) { g.wordLeft(); }},
      {{krx::K_HOME, 0}, [](krx::Get& g) { g.home(); }},
      {{krx::K_END, 0}, [](krx::Get& g) { g._end(); }},
      {{krx::K_INS, 0}, toggleInsert},
      {{krx::K_BS, 0}, [](krx::Get& g) { g.backSpace(); }},
      {{krx::K_DEL, 0}, [](krx::Get& g) { g.del(); }},
      {{krx::K_CTRL_T, 0}, [](krx::Get& g) { g.delWordRight(); }},
      {{krx::K_CTRL_Y, 0}, [](krx::Get& g) { g.delEnd(); }},
      {{krx::K_CTRL_BS, 0}, [](krx::Get& g) { g.delWordLeft(); }},
      {{krx::K_CTRL_U, 0}, [](krx::Get& g) { g.undo(); }},
  };
  return table;
}

void type(krx::Get& get, int key) {
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

void GETAPPLYKEY(krx::Get& get, int key) {
  KRX_ROUTINE("GETAPPLYKEY");
  const Item bound = krx::SETKEY(key);
  if (bound.isBlock()) {
    GETDOSETKEY(bound.block(), get);
    return;
  }
  for (const auto& row : keyTable()) {
    if (row.codes[0] == key || (row.codes[1] != 0 && row.codes[1] == key)) {
      row.act(get);
      return;
    }
  }
  if (key >= 32 && key <= 255) type(get, key);
}

Item GETDOSETKEY(const krx::BlockRef& callable, krx::Get& get) {
  KRX_ROUTINE("GETDOSETKEY");
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
  Item result =
      callable
          ? callable->eval({Item(state->procName), Item(state->procLine), Item(state->readVar)})
          : Item();
  DISPSCOREBOARD();
  get.updateBuffer();
  state->updated = keptUpdated;
  if (state->killRead) get.exitState = EXIT_ESCAPE;
  return result;
}

}  // namespace potclock
