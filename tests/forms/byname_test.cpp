// The read as text compiled at run time sees it: controls called by name,
// members assigned by name, and the flag that WHEN and VALID callables may
// not change.
#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "forms_fixture.h"
#include "runtime/lang/compiler.h"
#include "support/error_recorder.h"

namespace {

using krx::Item;

class ByNameTest : public FormsTest {
 protected:
  static Item run(const std::string& source, std::initializer_list<Item> args = {}) {
    return krx::compileBlock(source)->eval(args);
  }
};

TEST_F(ByNameTest, GetActiveWithoutArgumentsChangesNothing) {
  krx::VarRef level = krx::makeVar(1);
  auto get = field(4, 33, level, "nLevel", "999");
  auto state = potclock::READSTATUS();
  state->activeGet = get;

  EXPECT_EQ(run("{|| GetActive()}").as<krx::Get>(), get);
  EXPECT_EQ(state->activeGet, get);
  // NIL passed is an argument: it clears the active Get.
  EXPECT_EQ(run("{|| GetActive(NIL)}").as<krx::Get>(), get);
  EXPECT_EQ(state->activeGet, nullptr);
}

TEST_F(ByNameTest, ExitStateKeepsNilAndTheReadSettlesItAsZero) {
  ErrorRecorder errors;
  krx::VarRef level = krx::makeVar(1);
  auto get = field(4, 33, level, "nLevel", "999");
  // A key-bound callable clears the exit state by name mid-read: the field
  // stays active and takes the next keys.
  Item seen = 0;
  krx::SETKEY(-1, callable([&](std::span<const Item>) {
    run("{|g| g:exitState := NIL}", {Item(get)});
    seen = run("{|g| g:exitState}", {Item(get)});
    return Item();
  }));
  t.hl.keys({-1});
  t.hl.text("7");
  t.hl.keys({krx::K_ENTER});
  EXPECT_TRUE(potclock::READMODAL(listOf({get})));
  EXPECT_TRUE(errors.errors.empty()) << errors.lastText();
  EXPECT_TRUE(seen.isNil());
  EXPECT_EQ(level->num(), 7);

  // Left with NIL, the field is settled as if it had exit state 0: the read
  // stays on it.
  auto state = potclock::READSTATUS();
  state->getList = listOf({get});
  state->thisPos = 1;
  run("{|g| g:exitState := NIL}", {Item(get)});
  state->settle();
  EXPECT_EQ(state->thisPos, 1);
  EXPECT_EQ(state->lastExitState, 0);
}

TEST_F(ByNameTest, TheStateClassIsNamedReadStatus) {
  ErrorRecorder errors;
  errors.answer = [](const krx::ErrorRef&) { return Item(0); };
  EXPECT_EQ(potclock::READSTATUS()->className(), "ReadStatus");
  run("{|| ReadStatus():noSuchMember}");
  EXPECT_EQ(errors.lastText(), "No exported member: ReadStatus:noSuchMember");
}

TEST_F(ByNameTest, WhenAndValidCallablesCannotMarkTheReadUpdated) {
  krx::VarRef level = krx::makeVar(1);
  auto get = field(4, 33, level, "nLevel", "999", krx::compileBlock("{|| ReadUpdated(.T.), .T.}"),
                   krx::compileBlock("{|| ReadUpdated(.T.), .T.}"));
  t.hl.keys({krx::K_ENTER});
  EXPECT_FALSE(potclock::READMODAL(listOf({get})));
}

}  // namespace
