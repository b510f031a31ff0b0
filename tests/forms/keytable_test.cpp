// Every form key driven through a real read, once from the keyboard and once
// from the event queue, on fields like the setup dialogue's. The key codes are
// written out as numbers here, not taken from the program's constants, so a
// wrong code in a key table fails as surely as a wrong action.
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "forms/readmodal.h"
#include "forms/readqueries.h"
#include "forms_fixture.h"
#include "runtime/console/settings.h"

namespace {

using krx::Item;

struct Key {
  int inkey;  // the code INKEY returns; 0: the keyboard has no such key
  int event;  // the code the event queue delivers
};

// clang-format off
constexpr Key UP{5, 65574},         SH_TAB{271, 131081}, DOWN{24, 65576},   TAB{9, 9},
              PGUP{18, 65569},      PGDN{3, 65570},      ENTER{13, 13},     CTRL_HOME{29, 589860},
              ESC{27, 27},          CTRL_END{0, 589859}, CTRL_W{23, 23},    RIGHT{4, 65575},
              CTRL_RIGHT{2, 589863}, LEFT{19, 65573},    CTRL_LEFT{26, 589861}, HOME{1, 65572},
              END{6, 65571},        INS{22, 65581},      BS{8, 8},          DEL{7, 65582},
              CTRL_T{20, 20},       CTRL_Y{25, 25},      CTRL_BS{127, 524415}, CTRL_U{21, 21};
// clang-format on

// One press: a key, or characters typed.
using Press = std::variant<Key, const char*>;

// The forms: the manual questions, the computed questions, and a free-text
// field (which the word keys need: the numeric pictures hold no words).
enum class Form { Manual, Computed, Text };

struct Row {
  const char* name;
  Form form;
  std::vector<Item> before;  // the variables of the form's fields
  std::vector<Press> keys;
  std::vector<Item> after;
  std::vector<int> exitStates;  // how each field was left (0: never left)
  bool updated;                 // what READMODAL returns
  bool escapeAllowed = true;    // setting 28
  bool confirm = false;         // setting 27
};

// clang-format off
const Row kRows[] = {
    // Leaving a field, and the read.
    {"EnterWalksTheFieldsAndEndsAfterTheLast", Form::Manual, {1, 10, "M"},
     {ENTER, ENTER, ENTER}, {1, 10, "M"}, {5, 5, 5}, false},
    {"TypingReplacesANumberAndAFullLetterFieldLeaves", Form::Manual, {1, 10, "M"},
     {"25", ENTER, "8", ENTER, "h"}, {25, 8, "H"}, {5, 5, 5}, true},
    {"TabGoesToTheNextField", Form::Manual, {1, 10, "M"},
     {TAB, "7", ENTER, "h"}, {1, 7, "H"}, {2, 5, 5}, true},
    {"DownGoesToTheNextField", Form::Manual, {1, 10, "M"},
     {DOWN, "7", ENTER, "h"}, {1, 7, "H"}, {2, 5, 5}, true},
    {"ShiftTabGoesBack", Form::Manual, {1, 10, "M"},
     {TAB, SH_TAB, "5", PGDN}, {5, 10, "M"}, {6, 1, 0}, true},
    {"UpGoesBack", Form::Manual, {1, 10, "M"},
     {ENTER, UP, "5", PGDN}, {5, 10, "M"}, {6, 1, 0}, true},
    {"CtrlHomeGoesToTheFirstField", Form::Manual, {1, 10, "M"},
     {TAB, TAB, CTRL_HOME, "3", PGDN}, {3, 10, "M"}, {6, 2, 3}, true},
    {"PgUpEndsTheReadKeepingTheEdit", Form::Manual, {1, 10, "M"},
     {"5", PGUP}, {5, 10, "M"}, {6, 0, 0}, true},
    {"PgDnEndsTheReadKeepingTheEdit", Form::Manual, {1, 10, "M"},
     {TAB, "5", PGDN}, {1, 5, "M"}, {2, 6, 0}, true},
    {"CtrlWEndsTheReadKeepingTheEdit", Form::Manual, {1, 10, "M"},
     {"5", CTRL_W}, {5, 10, "M"}, {6, 0, 0}, true},
    {"EscapeDropsTheEditAndEndsTheRead", Form::Manual, {1, 10, "M"},
     {"5", ENTER, "7", ESC}, {5, 10, "M"}, {5, 7, 0}, true},
    {"EscapeAtOnceChangesNothing", Form::Manual, {1, 10, "M"},
     {ESC}, {1, 10, "M"}, {7, 0, 0}, false},
    {"EscapeIsIgnoredWhenNotAllowed", Form::Manual, {1, 10, "M"},
     {"5", ESC, ENTER, ESC, ENTER, "h"}, {5, 10, "H"}, {5, 5, 5}, true, false},

    // Moving the cursor: a digit typed afterwards shows where it stands.
    {"LeftStepsBackOverTyping", Form::Computed, {0, "22:35", "A"},
     {"12345", LEFT, LEFT, "9", ENTER, ENTER, ENTER}, {12395, "22:35", "A"}, {5, 5, 5}, true},
    {"RightStepsOverTheColon", Form::Computed, {0, "22:35", "A"},
     {ENTER, RIGHT, RIGHT, "4", PGDN}, {0, "22:45", "A"}, {5, 6, 0}, true},
    {"HomeGoesToTheFirstDigit", Form::Computed, {0, "22:35", "A"},
     {"12345", HOME, "9", PGDN}, {92345, "22:35", "A"}, {6, 0, 0}, true},
    {"EndGoesPastTheLastDigit", Form::Computed, {0, "22:35", "A"},
     {"12", LEFT, LEFT, END, "3", PGDN}, {123, "22:35", "A"}, {6, 0, 0}, true},
    {"CtrlRightGoesToTheNextWord", Form::Text, {"big blind ante "},
     {CTRL_RIGHT, "B", PGDN}, {"big Blind ante "}, {6}, true},
    {"CtrlLeftGoesToTheWordBefore", Form::Text, {"big blind ante "},
     {END, CTRL_LEFT, "A", PGDN}, {"big blind Ante "}, {6}, true},

    // Deleting.
    {"BackspaceAfterAFullFieldTakesTheLastDigit", Form::Manual, {1, 10, "M"},
     {"123", BS, ENTER, PGDN}, {12, 10, "M"}, {5, 6, 0}, true, true, true},
    {"BackspaceTakesTheDigitBeforeTheCursor", Form::Computed, {0, "22:35", "A"},
     {"12345", LEFT, LEFT, BS, PGDN}, {1245, "22:35", "A"}, {6, 0, 0}, true},
    {"DelTakesTheDigitUnderTheCursor", Form::Computed, {0, "22:35", "A"},
     {"12345", LEFT, LEFT, DEL, PGDN}, {1235, "22:35", "A"}, {6, 0, 0}, true},
    {"CtrlTDeletesToTheNextWord", Form::Text, {"big blind ante "},
     {CTRL_T, PGDN}, {"blind ante     "}, {6}, true},
    {"CtrlYDeletesToTheEnd", Form::Text, {"big blind ante "},
     {CTRL_RIGHT, CTRL_Y, PGDN}, {"big            "}, {6}, true},
    {"CtrlBackspaceDeletesTheWordBefore", Form::Text, {"big blind ante "},
     {END, CTRL_BS, PGDN}, {"big blind      "}, {6}, true},
    {"CtrlUPutsTheValueBack", Form::Computed, {0, "22:35", "A"},
     {ENTER, "19", CTRL_U, PGDN}, {0, "22:35", "A"}, {5, 6, 0}, false},

    // Insert mode.
    {"InsInsertsAndPushesTheRestRight", Form::Computed, {0, "22:35", "A"},
     {ENTER, INS, "1", PGDN}, {0, "12:23", "A"}, {5, 6, 0}, true},
    {"InsTwiceOverwritesAgain", Form::Computed, {0, "22:35", "A"},
     {ENTER, INS, INS, "1", PGDN}, {0, "12:35", "A"}, {5, 6, 0}, true},
};
// clang-format on

enum class Reader { Keyboard, Events };

// Failure messages name the row, not its bytes.
void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}
void PrintTo(Reader reader, std::ostream* os) {
  *os << (reader == Reader::Keyboard ? "keyboard" : "events");
}

class KeyTableTest : public FormsTest,
                     public ::testing::WithParamInterface<std::tuple<Reader, Row>> {
 protected:
  void SetUp() override {
    const auto& [reader, row] = GetParam();
    potclock::GETENABLEEVENTS(reader == Reader::Events);
    krx::SET(27, row.confirm);
    krx::SET(28, row.escapeAllowed);
    krx::SET(29, false);
  }

  krx::ArrayRef build(Form form, const std::vector<Item>& before) {
    for (const auto& value : before) vars.push_back(krx::makeVar(value));
    auto v = [&](std::size_t i) { return vars[i]; };
    switch (form) {
      case Form::Manual:
        gets = {field(4, 33, v(0), "nLevel", "999"), field(6, 33, v(1), "nMinutes", "999"),
                field(6, 61, v(2), "cMode", "!")};
        break;
      case Form::Computed:
        gets = {field(4, 48, v(0), "nchips", "9999999"), field(7, 48, v(1), "cHours", "99:99"),
                field(9, 48, v(2), "cGame", "!")};
        break;
      case Form::Text:
        gets = {field(2, 10, v(0), "cNote", "XXXXXXXXXXXXXXX")};
        break;
    }
    auto list = krx::makeArray();
    for (const auto& g : gets) list->push_back(Item(g));
    return list;
  }

  void script(Reader reader, const std::vector<Press>& keys) {
    for (const auto& press : keys) {
      if (const auto* text = std::get_if<const char*>(&press)) {
        for (const char* c = *text; *c != '\0'; ++c) {
          if (reader == Reader::Events) {
            t.hl.keyEvents({static_cast<unsigned char>(*c)});
          } else {
            t.hl.keys({static_cast<unsigned char>(*c)});
          }
        }
      } else {
        const Key key = std::get<Key>(press);
        if (reader == Reader::Events) {
          t.hl.keyEvents({key.event});
        } else {
          t.hl.keys({key.inkey});
        }
      }
    }
  }

  std::vector<krx::VarRef> vars;
  std::vector<krx::GetRef> gets;
};

TEST_P(KeyTableTest, FieldsAndExitStatesAfterTheKeys) {
  const auto& [reader, row] = GetParam();
  auto list = build(row.form, row.before);
  script(reader, row.keys);

  EXPECT_EQ(potclock::READMODAL(list), row.updated);
  for (std::size_t i = 0; i < vars.size(); ++i) {
    SCOPED_TRACE("field " + std::to_string(i + 1));
    EXPECT_TRUE(vars[i]->same(row.after[i]))
        << "is " << vars[i]->str() << vars[i]->numOr(-1) << ", expected " << row.after[i].str()
        << row.after[i].numOr(-1);
    EXPECT_EQ(gets[i]->exitState, row.exitStates[i]);
  }
}

std::string rowName(const ::testing::TestParamInfo<std::tuple<Reader, Row>>& info) {
  const auto& [reader, row] = info.param;
  return std::string(reader == Reader::Keyboard ? "Keys_" : "Events_") + row.name;
}

INSTANTIATE_TEST_SUITE_P(Table, KeyTableTest,
                         ::testing::Combine(::testing::Values(Reader::Keyboard, Reader::Events),
                                            ::testing::ValuesIn(kRows)),
                         rowName);

// The event queue names Ctrl-End, which moves to the last field; from the
// keyboard the same key arrives as Ctrl-W and ends the read where it is.
TEST_F(FormsTest, CtrlEndMovesToTheLastFieldOnlyAsAnEvent) {
  krx::VarRef level = krx::makeVar(1), minutes = krx::makeVar(10), mode = krx::makeVar("M");
  auto list = listOf({field(4, 33, level, "nLevel", "999"),
                      field(6, 33, minutes, "nMinutes", "999"), field(6, 61, mode, "cMode", "!")});
  potclock::GETENABLEEVENTS(true);
  t.hl.keyEvents({589859, 'h'});
  EXPECT_TRUE(potclock::READMODAL(list));
  EXPECT_EQ(mode->str(), "H");
  EXPECT_EQ((*list)[0].as<krx::Get>()->exitState, 4);

  potclock::GETENABLEEVENTS(false);
  t.hl.keyEvents({589859});
  EXPECT_FALSE(potclock::READMODAL(list));
  EXPECT_EQ((*list)[0].as<krx::Get>()->exitState, 6);
}

}  // namespace
