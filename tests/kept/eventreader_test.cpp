// Reading fields from the event queue: clicks within and between fields,
// event and key bindings, the keys that only events can name, cancelling,
// and events for window objects.
#include "forms/forms_fixture.h"
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "runtime/console/console.h"
#include "runtime/console/kept/events.h"
#include "runtime/console/settings.h"

namespace {

using krx::Item;

constexpr int kCustomEvent = krx::EV_BASE + 0x200;

class EventReaderTest : public FormsTest {
 protected:
  EventReaderTest() { potclock::GETENABLEEVENTS(true); }

  // Field n (from 0) at row n + 1, column 10, five characters.
  krx::GetRef five(const std::string& value) {
    vars.push_back(krx::makeVar(value));
    const int n = static_cast<int>(vars.size()) - 1;
    return field(n + 1, 10, vars.back(), "c" + std::to_string(n), "XXXXX");
  }
  std::string var(int n) const { return vars[static_cast<std::size_t>(n)]->str(); }

  std::vector<krx::VarRef> vars;
};

TEST_F(EventReaderTest, ClicksMoveTheCursorWithinAFieldOrToAnother) {
  auto list = listOf({five("aaaaa"), five("bbbbb")});
  t.hl.click(1, 12);  // inside the active field: cursor to position 3
  t.hl.text("Z");
  t.hl.click(20, 0);  // outside every field: nothing moves
  t.hl.text("Y");
  t.hl.click(2, 12);  // the other field, entered with the cursor at position 3
  t.hl.text("Q");
  t.hl.keys({krx::K_PGDN});
  EXPECT_TRUE(potclock::READMODAL(list));
  EXPECT_EQ(var(0), "aaZYa");
  EXPECT_EQ(var(1), "bbQbb");
}

TEST_F(EventReaderTest, ClickOnAnotherFieldPassesThroughTheValidFirst) {
  auto first = five("aaaaa");
  first->postBlock = callable([this](std::span<const Item>) { return Item(var(0)[0] == 'x'); });
  auto list = listOf({first, five("bbbbb")});
  t.hl.click(2, 10);  // refused: the cursor stays in the first field
  t.hl.text("x");
  t.hl.click(2, 10);
  t.hl.text("y");
  t.hl.keys({krx::K_ENTER});
  potclock::READMODAL(list);
  EXPECT_EQ(var(0), "xaaaa");
  EXPECT_EQ(var(1), "ybbbb");
}

TEST_F(EventReaderTest, KeyBindingRunsAndTheKeyStillActs) {
  int ran = 0;
  krx::SETKEY(krx::K_DOWN, callable([&](std::span<const Item>) {
                ++ran;
                return Item();
              }));
  auto list = listOf({five("aaaaa"), five("bbbbb")});
  t.hl.keyEvents({krx::EK_DOWN});
  t.hl.text("z");
  t.hl.keys({krx::K_ENTER});
  EXPECT_TRUE(potclock::READMODAL(list));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(var(1), "zbbbb");
}

TEST_F(EventReaderTest, EventCallableSwallowsOrReplacesTheEvent) {
  krx::SETAPPEVENT('x', callable([](std::span<const Item>) { return Item(); }));
  krx::GetRef seen;
  krx::SETAPPEVENT(kCustomEvent, callable([&](std::span<const Item> args) {
                     seen = args[3].as<krx::Get>();
                     return Item(int{krx::EV_APPLY_KEY});  // apply the key in mp1
                   }));
  auto get = five("aaaaa");
  krx::PostAppEvent('x');
  krx::PostAppEvent(kCustomEvent, Item('Q'));
  krx::PostAppEvent(kCustomEvent, Item(int{krx::K_ENTER}));
  EXPECT_TRUE(potclock::READMODAL(listOf({get})));
  EXPECT_EQ(var(0), "Qaaaa");
  EXPECT_EQ(seen, get);
}

TEST_F(EventReaderTest, NavigationKeysByTheirEventCodes) {
  auto list = listOf({five("aaaaa"), five("bbbbb"), five("ccccc")});
  t.hl.keyEvents({krx::EK_CTRL_END, 'C'});  // to the last field
  t.hl.keys({krx::K_UP});                   // INKEY 5 from the backend is Up here
  t.hl.keyEvents({'B', krx::EK_CTRL_HOME, 'A', krx::EK_DOWN, krx::EK_SH_TAB});
  t.hl.keyEvents({krx::EK_RIGHT, 'R', krx::EK_PGDN});
  EXPECT_TRUE(potclock::READMODAL(list));
  EXPECT_EQ(var(0), "ARaaa");
  EXPECT_EQ(var(1), "Bbbbb");
  EXPECT_EQ(var(2), "Ccccc");
}

TEST_F(EventReaderTest, CancelEndsTheReadEvenWhenEscapeIsOff) {
  krx::SET(krx::SET_ESCAPE, false);
  auto list = listOf({five("aaaaa"), five("bbbbb")});
  krx::PostAppEvent('z');
  krx::PostAppEvent(krx::EK_ESC);  // ignored
  krx::PostAppEvent(krx::EV_CANCEL);
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(var(0), "aaaaa");
  EXPECT_EQ(krx::LASTAPPEVENT(), krx::EV_CANCEL);
}

TEST_F(EventReaderTest, FieldWithNoEditablePositionWaitsForAnEventOnceRefused) {
  int calls = 0;
  vars.push_back(krx::makeVar("abc"));
  auto stuck = field(1, 1, vars.back(), "cLit", "---", callable([&](std::span<const Item>) {
                       if (++calls > 20) potclock::READKILL(true);
                       return Item(false);
                     }));
  t.hl.keys({'a', krx::K_ESC});
  EXPECT_FALSE(potclock::READMODAL(listOf({stuck})));
  EXPECT_EQ(calls, 2);
}

// A window object that records the events handed to it and ends the read on
// the second.
class RecordingWindow : public krx::Object {
 public:
  std::string className() const override { return "RECORDER"; }
  Item send(std::string_view method, std::span<const Item> args) override {
    if (method != "handleEvent") return Object::send(method, args);
    codes.push_back(static_cast<int>(args[0].num()));
    if (codes.size() == 2) potclock::READKILL(true);
    return Item();
  }
  std::vector<int> codes;
};

TEST_F(EventReaderTest, WindowEventsReachTheirObjectWhileSetting44IsOn) {
  auto window = std::make_shared<RecordingWindow>();
  auto list = listOf({five("aaaaa")});
  krx::PostAppEvent(kCustomEvent, {}, {}, Item(window));  // setting 44 off: dropped
  krx::PostAppEvent(krx::EV_LBCLICK, Item(krx::makeArray({1, 12})), {}, Item(window));
  krx::PostAppEvent('z');  // typed at position 1: the click was no LbClick
  krx::PostAppEvent(krx::EK_ENTER);
  potclock::READMODAL(list);
  EXPECT_TRUE(window->codes.empty());
  EXPECT_EQ(var(0), "zaaaa");

  krx::SET(krx::SET_HANDLEEVENT, true);
  krx::PostAppEvent(kCustomEvent, {}, {}, Item(window));
  krx::PostAppEvent(krx::EV_LBCLICK, Item(krx::makeArray({1, 12})), {}, Item(window));
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(window->codes, (std::vector<int>{kCustomEvent, krx::EV_LBCLICK}));
}

}  // namespace
