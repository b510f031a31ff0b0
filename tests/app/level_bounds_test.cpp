// The edges of what the timer runs: the starting level and the number per
// level that the dialogue hands over, a level the table does not have, and
// levels too short or too long for the usual display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/screens/clock.h"
#include "app/screens/setup.h"
#include "app/screens/timer.h"
#include "forms/readstatus.h"
#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "support/error_recorder.h"
#include "support/glyph_pictures.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

constexpr int kEnter = krx::K_ENTER;
constexpr int kEsc = krx::K_ESC;

struct Typed {
  std::vector<int> keys;
  Typed(std::initializer_list<const char*> parts) {
    for (const char* p : parts) {
      if (std::string_view(p) == "Enter")
        keys.push_back(kEnter);
      else if (std::string_view(p) == "Esc")
        keys.push_back(kEsc);
      else
        for (const char* c = p; *c; ++c) keys.push_back(static_cast<unsigned char>(*c));
    }
  }
};

// The dialogue on the headless backend at 20:00, keys a tenth of a second
// apart; also tells whether the start prompt was shown.
Handover setupWith(const Typed& typed, bool& prompted) {
  TestRuntime t(krx::LocalTime{2026, 12, 7, 20, 0, 0});
  double when = 0;
  for (int k : typed.keys) t.hl.keyAt(when += 0.1, k);
  prompted = false;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen&) {
    prompted = prompted || t.rowText(12).substr(20, 29) == "Press any key to start timer ";
  };
  Handover h = runSetup();
  return h;
}

TEST(LevelBounds, TheTimerIsHandedOnlyWhatItCanRun) {
  struct Row {
    const char* what;
    Typed keys;
    int nLevel, nMinutes;
    const char* cMode;
  };
  // A refused number stays in its variable; Escape then dismisses the range
  // message and a second Escape leaves the read, and a key starts the timer.
  const Row rows[] = {
      {"level 0 refused, then left", {"m", "0", "Enter", "Esc", "Esc", "k"}, 1, 10, "M"},
      {"level 99 refused, then left", {"m", "99", "Enter", "Esc", "Esc", "k"}, 1, 10, "M"},
      {"level -8 refused, then left", {"m", "-8", "Enter", "Esc", "Esc", "k"}, 1, 10, "M"},
      {"50 per level refused, then left",
       {"m", "Enter", "50", "Enter", "Esc", "Esc", "k"},
       1,
       10,
       "M"},
      {"0 per level refused, then left",
       {"m", "Enter", "0", "Enter", "Esc", "Esc", "k"},
       1,
       10,
       "M"},
      {"the bounds themselves", {"m", "63", "Enter", "40", "Enter", "h"}, 63, 40, "H"},
      {"the lower bounds", {"m", "1", "Enter", "1", "Enter", "m", "k"}, 1, 1, "M"},
      {"mode letter refused, then left", {"m", "Enter", "Enter", "x", "Esc", "k"}, 1, 10, "M"},
      // 100 chips: four levels of structure A share the time to the finish.
      {"finish time now", {"Enter", "100", "Enter", "2000", "a", "k"}, 1, 1, "M"},
      {"finish a minute on", {"Enter", "100", "Enter", "2001", "a", "k"}, 1, 1, "M"},
      {"finish eight minutes on", {"Enter", "100", "Enter", "2008", "a", "k"}, 1, 2, "M"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    bool prompted = false;
    const Handover h = setupWith(row.keys, prompted);
    EXPECT_EQ(h.nLevel, row.nLevel);
    EXPECT_EQ(h.nPerLevel, row.nMinutes);
    EXPECT_EQ(modeLetter(h.mode), row.cMode);
    EXPECT_EQ(prompted, h.mode == Mode::minutes);  // the minutes wait for a key to start
  }
}

TEST(LevelBounds, TheTimerRefusesALevelItsTableDoesNotHave) {
  for (int level : {0, -8}) {
    SCOPED_TRACE(level);
    TestRuntime t;
    ErrorRecorder recorder;
    // The routine that runs the timer shows the line being run when the
    // error comes, not the line where it began.
    int mainLine = -1;
    recorder.answer = [&](const krx::ErrorRef&) {
      for (int i = 0; !krx::PROCNAME(i).empty(); ++i)
        if (krx::PROCNAME(i) == "MAIN") mainLine = krx::PROCLINE(i);
      return krx::Item(false);
    };
    KRX_ROUTINE("MAIN");
    const int startLine = __LINE__ - 1;
    krx::markCallerLine(krx::CallSite::here());  // as the dialogue's last read leaves it
    const int readLine = __LINE__ - 1;
    EXPECT_THROW(runTimer(level, 10, Mode::minutes), krx::BreakSignal);
    EXPECT_EQ(recorder.lastCode(), krx::EG_BOUND);
    EXPECT_GT(mainLine, 0);
    EXPECT_NE(mainLine, startLine);
    EXPECT_NE(mainLine, readLine);
  }
  // Above the last level there is nothing to run: no error, no chime.
  TestRuntime t;
  ErrorRecorder recorder;
  runTimer(64, 10, Mode::minutes);
  EXPECT_TRUE(recorder.errors.empty());
  EXPECT_TRUE(t.hl.tones.empty());
}

TEST(LevelBounds, ALevelOfAThousandMinutesOrMoreShowsAllItsDigits) {
  // 1439 minutes: a finish time a minute before now, one level qualifying.
  const std::pair<int, std::string_view> cases[] = {{999, "   999:00"}, {1439, "   1439:00"}};
  for (auto [minutes, shown] : cases) {
    SCOPED_TRACE(minutes);
    TestRuntime t;
    std::vector<std::string> band;
    t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen&) {
      if (band.empty())
        for (int r = 15; r <= 20; ++r) band.push_back(t.rowText(r));
    };
    t.hl.keys({kEsc});       // the quit question on the first pass...
    t.hl.alertAnswers({2});  // ...answered "Yes"
    krx::SETCOLOR(kSetupColors);
    EXPECT_THROW(runTimer(1, minutes, Mode::minutes), krx::QuitSignal);
    ASSERT_EQ(band.size(), 6u);
    const auto want = expected::bigRows(shown);
    for (std::size_t r = 0; r < 6; ++r) EXPECT_EQ(band[r], want[r]);
  }
}

}  // namespace
}  // namespace potclock
