#include "app/screens/setup.h"

#include "app/game/levels.h"
#include "app/game/schedule.h"
#include "app/screens/notice.h"
#include "app/screens/say.h"
#include "app/screens/timer.h"
#include "forms/accessors.h"
#include "forms/readmodal.h"
#include "runtime/console/console.h"
#include "runtime/console/get.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using namespace krx;

namespace {

// The dialogue's variables: edit fields read and write them through
// accessors, and its validation texts name some of them.
struct Answers {
  VarRef cHours = makeVar("00:00");
  VarRef nchips = makeVar(0);
  VarRef cGame = makeVar("A");
  VarRef nLevel = makeVar();
  VarRef nMinutes = makeVar(10);
  VarRef cMode = makeVar("C");
};

// The fields of the next read are the dialogue's own, gathered as each is
// put on the screen and read together.
class Dialogue {
 public:
  // A field right after the prompt just written, one blank between them.
  void field(const VarRef& var, const char* name, const char* picture, Item valid = {}) {
    GetRef get = Get::New(ROW(), COL() + 1, ANCHORCB(var), name, picture, {}, std::move(valid));
    get->display();
    fields_->push_back(Item(get));
  }

  void read() {
    READMODAL(fields_);
    fields_ = makeArray();
  }

  Answers a;

 private:
  ArrayRef fields_ = makeArray();
};

// Two hours after "HH:MM", hours right-aligned in two.
std::string twoHoursLater(const std::string& cNow) {
  int h = static_cast<int>(VAL(LEFT(cNow, 2)));
  h = h <= 21 ? h + 2 : h - 22;
  return STR(h, 2, 0) + SUBSTR(cNow, 3, 3);
}

void askComputed(Dialogue& d) {
  Answers& a = d.a;
  *a.cMode = "M";
  say(4, 1, "     Enter approximate total number of chips: ");
  d.field(a.nchips, "nchips", "9999999");
  std::string cNow = LEFT(TIME(), 5);
  *a.cHours = twoHoursLater(cNow);
  say(6, 1, "If the time is now " + cNow + ", at what time");
  say(7, 1, "   would you like the game to finish (HH:MM): ");
  d.field(a.cHours, "cHours", "99:99");
  say(9, 1, "          Blind levels (see below) A, B or C: ");
  d.field(a.cGame, "cGame", "!", compileBlock("{|| cGame$\"ABC\"}", {{"cGame", a.cGame}}));
  d.read();

  Schedule s = computeSchedule(a.nchips->numOr(0), a.cHours->strOr("00:00"), a.cGame->strOr("A"),
                               cNow, a.nMinutes->numOr(10));
  *a.nLevel = s.nLevel;
  *a.nMinutes = s.nMinutes;
}

void askManual(Dialogue& d) {
  Answers& a = d.a;
  say(4, 1, "         Enter starting level: ");
  d.field(a.nLevel, "nLevel", "999", compileBlock("{|_x| RangeCheck(_x, 1, 63)}"));
  say(4, 38, "(eg: enter 25 for 1st level Fast Blinds)");
  say(6, 1, "Enter hands/minutes per level: ");
  d.field(a.nMinutes, "nMinutes", "999", compileBlock("{|_x| RangeCheck(_x, 1, 40)}"));
  say(6, 40, "H(ands or M(inutes: ");
  d.field(a.cMode, "cMode", "!", compileBlock("{|| cMode$\"HM\"}", {{"cMode", a.cMode}}));
  say(11, 1, "Levels by number:");
  d.read();
}

// A whole number within [low, high], or `otherwise`. A value the range check
// refused stays in its variable when the read is then left with Escape, so
// the timer must not take the variable as it stands.
int withinOr(const VarRef& var, int low, int high, int otherwise) {
  const double n = var->numOr(otherwise);
  return n >= low && n <= high ? static_cast<int>(n) : otherwise;
}

Handover manualHandover(const Answers& a) {
  // Any answer but "H" runs minutes.
  return {withinOr(a.nLevel, 1, kLastLevel, 1), withinOr(a.nMinutes, 1, 40, 10),
          modeOfLetter(a.cMode->strOr("")).value_or(Mode::minutes)};
}

// A finish time of now, or a minute on, shares almost no time among the
// levels; at least a minute each keeps them from racing by with a chime.
Handover computedHandover(const Answers& a) {
  const double n = a.nMinutes->numOr(10);
  return {static_cast<int>(a.nLevel->numOr(1)), n < 1 ? 1 : static_cast<int>(n), Mode::minutes};
}

}  // namespace

void blankScreen() {
  SETCOLOR(kSetupColors);
  SCROLL();
  SETPOS(0, 0);
  SETMOUSE(false);
}

void startPrompt(std::string_view notice) {
  SCROLL(10, 0);
  SETPOS(10, 0);
  showKeepingNotice(notice);
  SETCOLOR(kPromptColors);
  say(12, 20, "Press any key to start timer ");
  INKEY(0);
  SETCOLOR(kSetupColors);
  // The timer must not take the key that started it for one of its own.
  _KEYBOARD("x");
  INKEY(0);
}

Handover runSetup(std::string_view notice) {
  Dialogue d;
  Answers& a = d.a;

  blankScreen();
  say(1, 1, " ");
  say(2, 1, "");
  drawLevelList();
  showKeepingNotice(notice);
  *a.nLevel = 1;

  say(4, 1, "The program can compute the required time between");
  say(5, 1, "blind levels, or you may enter the starting level");
  say(6, 1, "and minutes between levels manually.");
  say(8, 1, "Select: C(omputed or m(anual (c/m): ");
  d.field(a.cMode, "cMode", "!");
  d.read();
  if (LASTKEY() == K_ESC) _QUIT();

  SCROLL(4, 0, 8, 70);
  SETPOS(4, 0);
  const bool computed = a.cMode->strOr("") != "M";
  if (computed)
    askComputed(d);
  else
    askManual(d);

  // A refused mode letter left with Escape stays in cMode; the timer runs
  // minutes then, and the start prompt goes with them.
  Handover h = computed ? computedHandover(a) : manualHandover(a);
  if (h.mode == Mode::minutes) startPrompt(notice);
  return h;
}

}  // namespace potclock
