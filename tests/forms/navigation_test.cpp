// Moving between fields: bounces at the ends of the form, WHEN refusals, and
// the ways a read ends.
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms_fixture.h"
#include "runtime/console/console.h"

namespace {

using krx::Item;

class NavigationTest : public FormsTest {
 protected:
  // Records each WHEN evaluation as the field's name and the exit state it was
  // reached with ("A2"); `admit` decides entry. After 50 visits the read is
  // killed, so that a fault that cycles cannot hang the test.
  Item when(std::function<bool(const std::string&)> admit = nullptr) {
    return callable([this, admit](std::span<const Item> args) {
      auto get = args[0].as<krx::Get>();
      const std::string name = potclock::GETVARNAME(*get);
      visits.push_back(name + std::to_string(get->exitState));
      if (visits.size() > 50) potclock::READKILL(true);
      return Item(admit ? admit(name) : true);
    });
  }

  krx::GetRef letter(int row, const std::string& name, Item whenBlock) {
    vars.push_back(krx::makeVar("x"));
    return field(row, 10, vars.back(), name, "!", {}, whenBlock);
  }

  std::string trail() const {
    std::string out;
    for (const auto& v : visits) out += (out.empty() ? "" : " ") + v;
    return out;
  }

  std::vector<std::string> visits;
  std::vector<krx::VarRef> vars;
};

TEST_F(NavigationTest, UpOnFirstFieldBouncesOrEndsTheRead) {
  auto list = listOf({letter(1, "A", when()), letter(2, "B", when())});
  t.hl.keys({krx::K_UP, krx::K_ENTER, krx::K_ENTER});
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(trail(), "A2 A2 B5");  // the bounce re-enters A moving down

  visits.clear();
  potclock::READEXIT(true);
  t.hl.keys({krx::K_UP});
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(trail(), "A2");
  EXPECT_EQ(potclock::GETLISTPOS(), 0);
}

TEST_F(NavigationTest, DownOnLastFieldBouncesAndEnterEndsTheRead) {
  auto list = listOf({letter(1, "A", when()), letter(2, "B", when())});
  t.hl.keys({krx::K_ENTER, krx::K_DOWN, krx::K_ENTER});
  potclock::READMODAL(list);
  EXPECT_EQ(trail(), "A2 B5 B1");

  // Enter on the last field ends the read whatever setting 30 says.
  visits.clear();
  potclock::READEXIT(true);
  t.hl.keys({krx::K_TAB, krx::K_ENTER});
  potclock::READMODAL(list);
  EXPECT_EQ(trail(), "A2 B2");

  // With setting 30 on, Down on the last field ends the read too.
  visits.clear();
  t.hl.keys({krx::K_TAB, krx::K_DOWN});
  potclock::READMODAL(list);
  EXPECT_EQ(trail(), "A2 B2");
}

TEST_F(NavigationTest, RefusedFieldsAreSkippedInTheDirectionOfTravel) {
  auto refuseB = [](const std::string& name) { return name != "B"; };
  auto list = listOf({letter(1, "A", when(refuseB)), letter(2, "B", when(refuseB)),
                      letter(3, "C", when(refuseB))});
  t.hl.keys({krx::K_DOWN, krx::K_UP, krx::K_ENTER, krx::K_ENTER});
  potclock::READMODAL(list);
  EXPECT_EQ(trail(), "A2 B2 C2 B1 A1 B5 C5");

  // Ctrl-Home goes to the first field and on down from there.
  visits.clear();
  t.hl.keys({krx::K_DOWN, krx::K_CTRL_HOME, krx::K_PGDN});
  potclock::READMODAL(list);
  EXPECT_EQ(trail(), "A2 B2 C2 A2");
}

TEST_F(NavigationTest, FieldsRefusingBothWaysEndTheReadInsteadOfCycling) {
  int aEntries = 0;
  auto admit = [&aEntries](const std::string& name) {
    return name == "A" && ++aEntries == 1;  // A admits once, B never
  };
  auto list = listOf({letter(1, "A", when(admit)), letter(2, "B", when(admit))});
  t.hl.keys({krx::K_DOWN});
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(trail(), "A2 B2 A1");
}

TEST_F(NavigationTest, BounceBeforeAnyFieldWasEnteredEndsTheRead) {
  auto never = [](const std::string&) { return false; };
  auto list = listOf({letter(1, "A", when(never))});
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ(trail(), "A2");

  visits.clear();
  auto both = listOf({letter(1, "A", when(never)), letter(2, "B", when(never))});
  EXPECT_FALSE(potclock::READMODAL(both));
  EXPECT_EQ(trail(), "A2 B2");
}

TEST_F(NavigationTest, ReadStartsAtTheGivenPositionAndEmptyListReturnsAtOnce) {
  auto list = listOf({letter(1, "A", when()), letter(2, "B", when())});
  t.hl.keys({krx::K_ENTER});
  potclock::READMODAL(list, 2);
  EXPECT_EQ(trail(), "B0");  // placed there, not moved there

  krx::SETPOS(3, 3);
  EXPECT_FALSE(potclock::READMODAL(krx::makeArray()));
  EXPECT_EQ(krx::ROW(), krx::MAXROW() - 1);
  EXPECT_EQ(krx::COL(), 0);
}

TEST_F(NavigationTest, GetActiveMovesTheReadToAnotherField) {
  krx::GetRef a = letter(1, "A", when());
  krx::GetRef b = letter(2, "B", when());
  krx::GetRef c = letter(3, "C", when());
  // F2 (code -1) jumps to C from wherever the cursor is.
  krx::SETKEY(-1, callable([c](std::span<const Item>) {
    potclock::GETACTIVE(c);
    return Item();
  }));
  t.hl.keys({-1, krx::K_UP, krx::K_PGDN});
  potclock::READMODAL(listOf({a, b, c}));
  EXPECT_EQ(trail(), "A2 C10 B1");
  EXPECT_EQ(potclock::GETLASTACTIVE(), nullptr);  // restored with the outer state
}

}  // namespace
