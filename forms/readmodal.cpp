#include "forms/readmodal.h"

#include "forms/applykey.h"
#include "forms/readstatus.h"
#include "forms/scoreboard.h"
#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "runtime/lang/registry.h"

namespace potclock {

using krx::Item;

namespace {

// Puts the outer read's state back even when a break, a quit or a failure
// leaves the read early, so an enclosing read goes on with its own fields.
class ReadScope {
 public:
  explicit ReadScope(ReadStatus& state) : state_(state) { state_.save(); }
  ~ReadScope() {
    if (!restored_) state_.restore();
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;
  void restore() {
    restored_ = true;
    state_.restore();
  }

 private:
  ReadStatus& state_;
  bool restored_ = false;
};

void cursorBelowForm() {
  krx::SETPOS(krx::MAXROW() - 1, 0);
}

// The event reader is kept apart from the form system (kept/), which calls
// it by its public name, as it would a reader of the program's own. Where it
// is not to be had, that is an error and the keyboard reads.
void readFromEvents(const krx::GetRef& get) {
  constexpr const char* kReader = "GETEVENTREADER";
  const Item args[] = {Item(get)};
  if (const krx::PublicRoutine* reader = krx::resolveRoutine(kReader)) {
    reader->fn(args);
    return;
  }
  krx::raise(krx::makeError(krx::EG_NOFUNC, std::string("Undefined function: ") + kReader, kReader,
                            {Item(get)}));
  GETREADER(*get);
}

}  // namespace

bool READMODAL(const krx::ArrayRef& getList, const Item& pos, const krx::CallSite& from) {
  krx::markCallerLine(from);
  KRX_ROUTINE("READMODAL");
  if (!getList || getList->empty()) {
    cursorBelowForm();
    return false;
  }
  ReadStatusRef state = READSTATUS();
  ReadScope scope(*state);
  state->getList = getList;
  state->procName = krx::PROCNAME(1);
  state->procLine = krx::PROCLINE(1);
  KRX_LINE();
  state->settle(pos);

  while (state->thisPos != 0) {
    KRX_LINE();
    state->postActiveGet();
    krx::GetRef get = state->activeGet;
    if (!get) {
      // Not a Get (or no element there): the read cannot go on.
      KRX_LINE();
      krx::raiseForResult(
          krx::makeError(krx::EG_ARG, "argument error", "READMODAL",
                         {state->getList ? Item(state->getList) : Item(), Item(state->thisPos)}));
      break;
    }
    KRX_LINE();
    if (get->reader.isBlock()) {
      get->reader.block()->eval({Item(get)});
    } else if (state->useAppEvent) {
      readFromEvents(get);
    } else {
      GETREADER(*get);
    }
    KRX_LINE();
    state->settle();
  }

  scope.restore();
  cursorBelowForm();
  return state->updated;
}

void GETREADER(krx::Get& get) {
  KRX_ROUTINE("GETREADER");
  KRX_LINE();
  if (!GETPREVALIDATE(get)) return;
  get.setFocus();
  bool refused = false;
  while (get.exitState == EXIT_NONE) {
    if (get.typeOut()) {
      // A field with no editable position is confirmed at once. Once its VALID
      // has refused it, nothing would change before the next confirmation, so
      // wait for a key first: Escape can then leave the field.
      KRX_LINE();
      if (refused) GETAPPLYKEY(get, krx::INKEY(0));
      if (get.exitState == EXIT_NONE && get.typeOut()) get.exitState = EXIT_ENTER;
    }
    KRX_LINE();
    while (get.exitState == EXIT_NONE) GETAPPLYKEY(get, krx::INKEY(0));
    KRX_LINE();
    if (!GETPOSTVALIDATE(get)) {
      get.exitState = EXIT_NONE;
      refused = true;
    }
  }
  get.killFocus();
}

bool GETPREVALIDATE(krx::Get& get) {
  KRX_ROUTINE("GETPREVALIDATE");
  ReadStatusRef state = READSTATUS();
  bool result = true;
  if (get.preBlock.isBlock()) {
    // A WHEN callable cannot mark the read as updated.
    const bool keptUpdated = state->updated;
    KRX_LINE();
    result = get.preBlock.block()->eval({itemOf(get)}).log();
    get.display();
    DISPSCOREBOARD();
    state->updated = keptUpdated;
  }
  if (state->killRead) {
    result = false;
    get.exitState = EXIT_ESCAPE;
  } else {
    get.exitState = result ? EXIT_NONE : EXIT_WHEN;
  }
  return result;
}

bool GETPOSTVALIDATE(krx::Get& get) {
  KRX_ROUTINE("GETPOSTVALIDATE");
  ReadStatusRef state = READSTATUS();
  if (get.exitState == EXIT_ESCAPE || !get.hasFocus()) return true;
  if (get.badDate()) {
    get.home();
    INVALIDDATE();
    DISPSCOREBOARD();
    return false;
  }

  bool result = true;
  if (get.changed) {
    KRX_LINE();
    get._assign();
    state->updated = true;
  }
  get.Reset();

  if (get.postBlock.isBlock()) {
    // The VALID callable's own changes to the flag do not count; the
    // assignment above does.
    const bool keptUpdated = state->updated;
    krx::SETPOS(get.row, get.col + static_cast<int>(get.buffer().size()));
    KRX_LINE();
    result = get.postBlock.block()->eval({itemOf(get)}).log();
    krx::SETPOS(get.row, get.col);
    DISPSCOREBOARD();
    get.updateBuffer();
    state->updated = keptUpdated;
    if (state->killRead) {
      get.exitState = EXIT_ESCAPE;
      result = true;
    }
  }
  return result;
}

}  // namespace potclock
