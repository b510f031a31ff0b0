// The event queue: which key an event names, clicks, posted events and the
// order of the sources.
#include <gtest/gtest.h>

#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/kept/events.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {

int next(Item& mp1, Item& mp2, Item& obj, double timeout = 0) {
  return APPEVENT(mp1, mp2, obj, timeout);
}

}  // namespace

TEST(AppEvent, KeysArriveAsThePhysicalKeyAndSetLastKey) {
  TestRuntime t;
  Item mp1, mp2, obj;
  // Plain INKEY codes take their usual meaning; keys scripted as events keep
  // theirs even where INKEY cannot tell them apart (Ctrl-End and Ctrl-W are 23).
  t.hl.keys({K_UP, K_CTRL_W, 'a'});
  t.hl.keyEvents({EK_CTRL_END, 5});
  EXPECT_EQ(next(mp1, mp2, obj), EK_UP);
  EXPECT_EQ(LASTKEY(), K_UP);
  EXPECT_EQ(next(mp1, mp2, obj), EK_CTRL_W);
  EXPECT_EQ(next(mp1, mp2, obj), 'a');
  EXPECT_EQ(next(mp1, mp2, obj), EK_CTRL_END);
  EXPECT_EQ(LASTKEY(), 23);
  EXPECT_EQ(next(mp1, mp2, obj), 5);  // Ctrl-E itself
}

TEST(AppEvent, ClickCarriesItsCellAndTheApplicationWindow) {
  TestRuntime t;
  auto window = ROOTCRT_New();
  SETAPPWINDOW(Item(window));
  Item mp1, mp2, obj;
  t.hl.text("x");
  t.hl.click(3, 17);
  next(mp1, mp2, obj);
  ASSERT_EQ(next(mp1, mp2, obj), EV_LBCLICK);
  ASSERT_TRUE(mp1.isArray());
  EXPECT_EQ((*mp1.array())[0].num(), 3);
  EXPECT_EQ((*mp1.array())[1].num(), 17);
  EXPECT_TRUE(obj.same(Item(window)));
  EXPECT_EQ(LASTKEY(), 'x');  // a click is not a key

  Item last1, last2;
  EXPECT_EQ(LASTAPPEVENT(last1, last2), EV_LBCLICK);
  EXPECT_TRUE(last1.same(mp1));
}

TEST(AppEvent, PostedEventsComeFirstThenStuffedKeysThenTheBackend) {
  TestRuntime t;
  Item mp1, mp2, obj;
  _KEYBOARD("k");  // drops the type-ahead, so the backend's key comes after
  t.hl.keys({K_DOWN});
  PostAppEvent(EV_CANCEL, Item(1), Item(2));
  PostAppEvent(EK_UP);
  EXPECT_EQ(next(mp1, mp2, obj), EV_CANCEL);
  EXPECT_EQ(mp1.num(), 1);
  EXPECT_EQ(mp2.num(), 2);
  EXPECT_EQ(next(mp1, mp2, obj), EK_UP);
  EXPECT_EQ(LASTKEY(), K_UP);  // a posted key counts as typed
  EXPECT_EQ(next(mp1, mp2, obj), 'k');
  EXPECT_EQ(next(mp1, mp2, obj), EK_DOWN);

  // A time-out is no event and leaves the last one on record.
  EXPECT_EQ(next(mp1, mp2, obj, 0.5), EV_NONE);
  EXPECT_TRUE(mp1.isNil());
  EXPECT_EQ(LASTAPPEVENT(), EK_DOWN);
  EXPECT_DOUBLE_EQ(t.hl.now(), 0.5);
}
