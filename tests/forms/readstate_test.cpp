// The shared read state: creation, the save/restore stack, member access by
// name, clicks, and the queries and controls used around a read.
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms_fixture.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"

namespace {

using krx::Item;
using potclock::ReadStatus;

class ReadStateTest : public FormsTest {};

TEST_F(ReadStateTest, CreatedOnceWithTheMouseSettingOfThatMoment) {
  krx::SETMOUSE(true);
  auto state = potclock::READSTATUS();
  krx::SETMOUSE(false);
  EXPECT_EQ(potclock::READSTATUS(), state);
  EXPECT_TRUE(state->useAppEvent);  // taken at creation only
  EXPECT_TRUE(potclock::GETENABLEEVENTS(false));
  EXPECT_FALSE(state->useAppEvent);

  // Outside any read: the initial empty list and no position.
  ASSERT_TRUE(potclock::GETLIST());
  EXPECT_TRUE(potclock::GETLIST()->empty());
  EXPECT_EQ(potclock::GETLISTPOS(), 0);
}

TEST_F(ReadStateTest, SaveAndRestoreStackTheOuterReadButKeepUpdated) {
  auto state = potclock::READSTATUS();
  auto outerList = krx::makeArray({Item(1)});
  state->getList = outerList;
  state->thisPos = 1;
  state->procName = "MAIN";
  state->killRead = true;

  state->save();
  EXPECT_EQ(state->thisPos, 0);
  EXPECT_EQ(state->procName, "");
  EXPECT_FALSE(state->killRead);
  state->getList = krx::makeArray();
  state->updated = true;

  state->restore();
  EXPECT_TRUE(state->lastStatus->empty());
  EXPECT_EQ(state->getList, outerList);
  EXPECT_EQ(state->thisPos, 1);
  EXPECT_EQ(state->procName, "MAIN");
  EXPECT_TRUE(state->killRead);
  EXPECT_TRUE(state->updated);

  state->restore();  // empty stack: nothing changes
  EXPECT_EQ(state->thisPos, 1);
}

TEST_F(ReadStateTest, MembersAndMethodsAreReachableByName) {
  auto state = potclock::READSTATUS();
  state->thisPos = 2;
  EXPECT_EQ(krx::macroEval("ReadStatus():thisPos").num(), 2);
  krx::macroEval("ReadStatus():readVar := \"NLEVEL\"");
  EXPECT_EQ(state->readVar, "NLEVEL");
  krx::macroEval("ReadStatus():save()");
  ASSERT_EQ(state->lastStatus->size(), 1u);
  // A saved copy holds the copies, and still reaches the shared members.
  auto copy = (*state->lastStatus)[0].as<ReadStatus>();
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->getMember("nThisPos").num(), 2);
  EXPECT_EQ(copy->getMember("cReadVar").str(), "NLEVEL");
  EXPECT_EQ(copy->getMember("thisPos").num(), 0);
  krx::macroEval("ReadStatus():restore()");
  EXPECT_EQ(state->thisPos, 2);
}

TEST_F(ReadStateTest, ControlsIgnoreArgumentsOfOtherTypes) {
  EXPECT_FALSE(potclock::READKILL(Item("yes")));
  EXPECT_FALSE(potclock::READKILL());
  EXPECT_EQ(potclock::READVAR(Item(5)), "");
  EXPECT_FALSE(potclock::READEXIT());
  EXPECT_FALSE(potclock::READEXIT(true));
  EXPECT_TRUE(krx::SET(krx::SET_EXIT).log());

  auto state = potclock::READSTATUS();
  auto get = field(1, 1, krx::makeVar("C"), "cMode", "!");
  state->activeGet = get;
  EXPECT_EQ(potclock::GETACTIVE(), get);
  EXPECT_EQ(state->activeGet, get);
  EXPECT_EQ(potclock::GETACTIVE(nullptr), get);
  EXPECT_EQ(state->activeGet, nullptr);
}

TEST_F(ReadStateTest, KillActiveReportsAFailedValidAndUndoesTheEdit) {
  auto state = potclock::READSTATUS();
  krx::VarRef cGame = krx::makeVar("A");
  auto validABC = krx::compileBlock("{|g| g:varGet() $ \"ABC\" }");
  auto get = field(1, 1, cGame, "cGame", "!", Item(validABC));

  state->activeGet = get;
  get->setFocus();
  get->overstrike('x');
  EXPECT_FALSE(potclock::GETKILLACTIVE());
  EXPECT_EQ(cGame->str(), "A");
  EXPECT_EQ(get->exitState, potclock::EXIT_WHEN);
  EXPECT_FALSE(get->hasFocus());

  get->setFocus();
  get->overstrike('b');
  EXPECT_TRUE(potclock::GETKILLACTIVE());
  EXPECT_EQ(cGame->str(), "B");
  EXPECT_TRUE(state->updated);
}

TEST_F(ReadStateTest, ClickMovesWithinTheFieldOrChoosesAnother) {
  auto state = potclock::READSTATUS();
  auto a = field(1, 10, krx::makeVar("abcde"), "cA", "XXXXX");
  auto b = field(3, 10, krx::makeVar("vwxyz"), "cB", "XXXXX");
  state->getList = listOf({a, b});
  state->thisPos = 1;
  state->activeGet = a;
  a->setFocus();

  state->LbClick(1, 12);  // inside the active field
  EXPECT_EQ(a->pos, 3);
  state->LbClick(10, 10);  // outside every field
  EXPECT_EQ(a->exitState, potclock::EXIT_NONE);

  state->LbClick(3, 11);  // on the other field: leave for it
  EXPECT_EQ(a->exitState, potclock::EXIT_CLICK);
  state->settle();
  EXPECT_EQ(state->thisPos, 2);
  EXPECT_EQ(state->nextPos, 0);
}

}  // namespace
