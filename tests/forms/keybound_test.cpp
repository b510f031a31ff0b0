// Callables bound to keys during a read: what they receive, how the pending
// edit is made safe first, nested reads, and ending a read from inside.
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms_fixture.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"

namespace {

using krx::Item;

constexpr int kF2 = -1;

class KeyBoundTest : public FormsTest {};

TEST_F(KeyBoundTest, CallableBoundToEnterReplacesItAsAnExit) {
  KRX_ROUTINE("SETUPFORM");
  krx::VarRef text = krx::makeVar("abc");
  std::vector<std::string> seen;
  krx::SETKEY(krx::K_ENTER, callable([&](std::span<const Item> args) {
                seen.push_back(args[0].str() + "/" + args[2].str() + "/" + text->str());
                EXPECT_GT(args[1].num(), 0);
                return Item();
              }));
  auto get = field(1, 1, text, "cText", "XXX");
  t.hl.text("z");
  t.hl.keys({krx::K_ENTER, krx::K_ENTER, krx::K_PGDN});
  EXPECT_TRUE(potclock::READMODAL(listOf({get})));
  // The edit was assigned (and validated) before the callable ran.
  EXPECT_EQ(seen, (std::vector<std::string>{"SETUPFORM/CTEXT/zbc", "SETUPFORM/CTEXT/zbc"}));
}

TEST_F(KeyBoundTest, RefusedPendingEditIsDroppedAndTheCallableStillRuns) {
  krx::SET(krx::SET_BELL, true);
  krx::VarRef text = krx::makeVar("abc");
  int ran = 0;
  krx::SETKEY(kF2, callable([&](std::span<const Item>) {
                ++ran;
                EXPECT_EQ(text->str(), "abc");
                return Item();
              }));
  auto get = field(1, 1, text, "cText", "XXX",
                   callable([](std::span<const Item>) { return Item(false); }));
  t.hl.text("z");
  t.hl.keys({kF2, krx::K_ESC});
  EXPECT_FALSE(potclock::READMODAL(listOf({get})));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(text->str(), "abc");
  EXPECT_EQ(t.hl.bells, 1);
}

TEST_F(KeyBoundTest, NestedReadLeavesTheOuterReadOnItsOwnListAndPosition) {
  krx::VarRef a = krx::makeVar("aaa");
  krx::VarRef b = krx::makeVar("bbb");
  krx::VarRef c = krx::makeVar("ccc");
  auto outer = listOf({field(1, 1, a, "cA", "XXX"), field(2, 1, b, "cB", "XXX")});
  auto inner = listOf({field(5, 1, c, "cC", "XXX")});

  krx::ArrayRef listAfter;
  int posAfter = -1;
  bool innerUpdated = false;
  krx::SETKEY(kF2, callable([&](std::span<const Item>) {
                innerUpdated = potclock::READMODAL(inner);
                listAfter = potclock::GETLIST();
                posAfter = potclock::GETLISTPOS();
                return Item();
              }));
  t.hl.keys({krx::K_ENTER, kF2});
  t.hl.text("q");
  t.hl.keys({krx::K_ENTER});  // ends the inner read
  t.hl.keys({krx::K_ENTER});  // Enter on the outer's last field
  EXPECT_FALSE(potclock::READMODAL(outer));
  EXPECT_TRUE(innerUpdated);
  EXPECT_EQ(c->str(), "qcc");
  EXPECT_EQ(listAfter, outer);
  EXPECT_EQ(posAfter, 2);
  EXPECT_TRUE(potclock::READSTATUS()->lastStatus->empty());
}

TEST_F(KeyBoundTest, ReadKillFromValidEndsTheRead) {
  krx::VarRef a = krx::makeVar("aaa");
  bool bEntered = false;
  auto killer = callable([](std::span<const Item>) {
    potclock::READKILL(true);
    return Item(false);  // overruled: a killed read leaves the field
  });
  auto second =
      field(2, 1, krx::makeVar("bbb"), "cB", "XXX", {}, callable([&](std::span<const Item>) {
              bEntered = true;
              return Item(true);
            }));
  t.hl.text("z");
  t.hl.keys({krx::K_ENTER});
  EXPECT_TRUE(potclock::READMODAL(listOf({field(1, 1, a, "cA", "XXX", killer), second})));
  EXPECT_EQ(a->str(), "zaa");
  EXPECT_FALSE(bEntered);
  EXPECT_FALSE(potclock::READKILL());  // the outer (no) read's flag is back
}

TEST_F(KeyBoundTest, BreakOutOfANestedReadRestoresTheOuterState) {
  krx::VarRef a = krx::makeVar("aaa");
  auto outer = listOf({field(1, 1, a, "cA", "XXX")});
  auto inner = listOf({field(5, 1, krx::makeVar("ccc"), "cC", "XXX")});
  krx::ArrayRef listAfter;
  krx::SETKEY(kF2, callable([&](std::span<const Item>) {
                krx::sequence([&] { potclock::READMODAL(inner); });
                listAfter = potclock::GETLIST();
                return Item();
              }));
  krx::SETKEY(-2, callable([](std::span<const Item>) -> Item { krx::BREAK(); }));
  t.hl.keys({kF2, -2, krx::K_ENTER});
  potclock::READMODAL(outer);
  EXPECT_EQ(listAfter, outer);
  EXPECT_TRUE(potclock::READSTATUS()->lastStatus->empty());
}

}  // namespace
