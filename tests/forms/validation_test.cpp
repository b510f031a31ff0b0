// The VALID gate: range checks with their scoreboard message, invalid dates,
// refusals that keep the user in the field, and fields with no editable
// position.
#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms/scoreboard.h"
#include "forms_fixture.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"

namespace {

using krx::Item;

constexpr const char* kLevelValid = "{|_x| RangeCheck(_x, 1, 63)}";

struct Snapshot {
  std::string scoreboard;
  int row;
  int col;
};

class ValidationTest : public FormsTest {
 protected:
  void recordWaits(int width) {
    t.hl.onWait = [this, width](krx::HeadlessBackend&, const krx::Screen& s) {
      waits.push_back({scoreboardText(width), s.row, s.col});
    };
  }
  std::vector<Snapshot> waits;
};

TEST_F(ValidationTest, RangeCheckRefusesWithMessageAndSwallowsTheDismissingKey) {
  krx::VarRef nLevel = krx::makeVar(1);
  auto level = field(4, 33, nLevel, "nLevel", "999", Item(krx::compileBlock(kLevelValid)));
  recordWaits(13);
  t.hl.text("64");
  t.hl.keys({krx::K_ENTER});
  t.hl.text("9");  // dismisses the message; typed into the field it would make 963
  t.hl.text("63");
  t.hl.keys({krx::K_ENTER});
  EXPECT_TRUE(potclock::READMODAL(listOf({level})));
  EXPECT_EQ(nLevel->num(), 63);

  ASSERT_EQ(waits.size(), 7u);
  // While the message waits, the cursor is where the VALID found it: just
  // after the field.
  EXPECT_EQ(waits[3].scoreboard, "Range: 1 - 63");
  EXPECT_EQ(waits[3].row, 4);
  EXPECT_EQ(waits[3].col, 36);
  // Then the message is blanked (the indicator written again) and the cursor
  // is back in the field.
  EXPECT_EQ(waits[4].scoreboard, "Ovr          ");
  EXPECT_EQ(waits[4].row, 4);
  EXPECT_EQ(waits[4].col, 33);
}

TEST_F(ValidationTest, RangeBoundsAreInclusiveAndUneditedFieldsPass) {
  krx::SET(krx::SET_SCOREBOARD, false);  // no message, so no key is awaited
  krx::VarRef value = krx::makeVar(0);
  auto get = field(1, 1, value, "nValue", "999");
  get->setFocus();
  get->changed = true;
  *value = 1;
  EXPECT_TRUE(potclock::RANGECHECK(*get, 1, 63));
  *value = 63;
  EXPECT_TRUE(potclock::RANGECHECK(*get, 1, 63));
  *value = 0;
  EXPECT_FALSE(potclock::RANGECHECK(*get, 1, 63));
  *value = 64;
  EXPECT_FALSE(potclock::RANGECHECK(*get, 1, 63));
  get->changed = false;
  EXPECT_TRUE(potclock::RANGECHECK(*get, 1, 63));

  // In a read, an unedited out-of-range value is confirmed as it stands.
  krx::SET(krx::SET_SCOREBOARD, true);
  krx::VarRef nLevel = krx::makeVar(64);
  auto level = field(4, 33, nLevel, "nLevel", "999", Item(krx::compileBlock(kLevelValid)));
  t.hl.keys({krx::K_ENTER});
  EXPECT_FALSE(potclock::READMODAL(listOf({level})));
  EXPECT_EQ(nLevel->num(), 64);
}

TEST_F(ValidationTest, RefusedValueStaysAssignedEvenAfterEscape) {
  krx::VarRef nLevel = krx::makeVar(1);
  auto level = field(4, 33, nLevel, "nLevel", "999", Item(krx::compileBlock(kLevelValid)));
  t.hl.text("64");
  t.hl.keys({krx::K_ENTER, 'x', krx::K_ESC});
  EXPECT_TRUE(potclock::READMODAL(listOf({level})));
  EXPECT_EQ(nLevel->num(), 64);
}

TEST_F(ValidationTest, ImpossibleDateIsShownAndNeverAssigned) {
  const krx::Date start = krx::makeDate(2026, 12, 7);
  krx::VarRef day = krx::makeVar(start);
  auto get = field(3, 3, day, "dDay", "");
  recordWaits(12);
  t.hl.text("134599");  // fills the field: month 13 does not exist
  t.hl.keys({'x', krx::K_ESC});
  EXPECT_FALSE(potclock::READMODAL(listOf({get})));
  EXPECT_EQ(day->date(), start);
  ASSERT_EQ(waits.size(), 8u);
  EXPECT_EQ(waits[6].scoreboard, "Invalid date");
  EXPECT_EQ(waits[7].scoreboard, "Ovr         ");

  // With the scoreboard off there is no message and no wait.
  krx::SET(krx::SET_SCOREBOARD, false);
  t.hl.text("134599");
  t.hl.keys({krx::K_ESC});
  EXPECT_FALSE(potclock::READMODAL(listOf({get})));
  EXPECT_EQ(day->date(), start);
}

TEST_F(ValidationTest, FieldWithNoEditablePositionWaitsForAKeyOnceRefused) {
  // Passing: confirmed at once, no key read.
  int calls = 0;
  auto counting = [&calls](bool answer) {
    return callable([&calls, answer](std::span<const Item>) {
      if (++calls > 20) potclock::READKILL(true);  // a loop would be stopped here
      return Item(answer);
    });
  };
  auto literal = field(1, 1, krx::makeVar("abc"), "cLit", "---", counting(true));
  EXPECT_FALSE(potclock::READMODAL(listOf({literal})));
  EXPECT_EQ(calls, 1);

  // Refused: each further confirmation waits for a key; Escape leaves.
  calls = 0;
  auto stuck = field(1, 1, krx::makeVar("abc"), "cLit", "---", counting(false));
  t.hl.keys({'a', 'b', krx::K_ESC});
  EXPECT_FALSE(potclock::READMODAL(listOf({stuck})));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(krx::LASTKEY(), krx::K_ESC);
}

}  // namespace
