#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/disk/statewriter.h"
#include "app/screens/clock.h"
#include "app/screens/timer.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"
#include "support/countdown_text.h"
#include "support/glyph_pictures.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

constexpr krx::Attr kSetup = krx::makeAttr(10, 1);   // G+/B
constexpr krx::Attr kPrompt = krx::makeAttr(14, 2);  // GR+/G

using timerscreen::band;
using timerscreen::bandOf;
using timerscreen::concat;
using timerscreen::kChime;
using timerscreen::Tones;

// Runs the timer on the headless backend and records, at every wait, the
// remaining time shown in large characters (as seconds; -1 when the band
// holds something else) and the virtual time.
class TimerRun {
 public:
  explicit TimerRun(TestRuntime& t, int maxSeconds = 700) : t_(t) {
    for (int n = 0; n <= maxSeconds; ++n) seconds_[bandOf(expected::countdownText(n))] = n;
    t.hl.onWait = [this](krx::HeadlessBackend& hl, const krx::Screen& s) {
      auto it = seconds_.find(band(s, 15));
      shown.push_back(it == seconds_.end() ? -1 : it->second);
      at.push_back(hl.now());
      if (hook) hook(hl, s);
    };
    krx::SETCOLOR(kSetupColors);
    krx::SCROLL();
  }

  // `letter` as the dialogue answers: "M" minutes, "H" hands.
  void run(int nLevel, int nPerLevel, const char* letter) {
    runTimer(nLevel, nPerLevel, *modeOfLetter(letter));
  }

  Tones tones() const { return timerscreen::tonesHeard(t_.hl); }

  std::vector<int> shown;
  std::vector<double> at;
  std::function<void(krx::HeadlessBackend&, const krx::Screen&)> hook;

 private:
  TestRuntime& t_;
  std::map<std::string, int> seconds_;
};

// The text at (row, col) of an all-ASCII row.
std::string textAt(TestRuntime& t, int row, int col, std::size_t len) {
  return t.rowText(row).substr(static_cast<std::size_t>(col), len);
}
#define EXPECT_TEXT_AT(t, row, col, text) \
  EXPECT_EQ(textAt(t, row, col, std::string_view(text).size()), text)

TEST(Timer, TimeLeftAndHandTexts) {
  TestRuntime t;
  EXPECT_EQ(timeLeftText(754), "   12:34");
  EXPECT_EQ(timeLeftText(600), "   10:00");
  EXPECT_EQ(timeLeftText(599), "    9:59");
  EXPECT_EQ(timeLeftText(65), "    1:05");
  EXPECT_EQ(timeLeftText(0), "    0:00");
  EXPECT_EQ(timeLeftText(59), "    0:59");
  EXPECT_EQ(timeLeftText(5999), "   99:59");  // eight characters below 100 minutes
  EXPECT_EQ(handText(3, 8), " HAND: 3/8");
  EXPECT_EQ(handText(1, 8), " HAND: 1/8");
  EXPECT_EQ(handText(3, 12), "HAND: 3/12");
}

TEST(Timer, TenMinuteLevelCountsDownAndChimes) {
  TestRuntime t;
  TimerRun run(t);
  // A key the timer ignores puts the passes 0.6 s into each second, so the
  // last pass comes with 0.4 s left.
  t.hl.keyAt(0.6, 'a');
  run.run(63, 10, "M");

  std::vector<int> counted;
  for (int s : run.shown)
    if (s >= 0 && (counted.empty() || counted.back() != s)) counted.push_back(s);
  ASSERT_FALSE(counted.empty());
  EXPECT_EQ(counted.front(), 600);
  EXPECT_EQ(*std::max_element(counted.begin(), counted.end()), 600);
  EXPECT_EQ(counted.back(), 0);  // 0.4 s left rounds to 0:00
  EXPECT_EQ(counted.size(), 601u);
  EXPECT_EQ(run.tones(), kChime);
  // The level ends when its time is up: the last wait is cut to what is left.
  EXPECT_NEAR(t.hl.tones.front().at, 600.0, 1e-6);
  EXPECT_TEXT_AT(t, 4, 0, " S M A L L   B L I N D  /  B I G   B L I N D   (Level: 22-Club)");
  EXPECT_TEXT_AT(t, 22, 0, " N E X T   L E V E L   =  -----    ");
}

TEST(Timer, TheFigureChangesWhenTheRoundedTimeLeftDoes) {
  TestRuntime t;
  TimerRun run(t);
  run.hook = [](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() > 3) throw std::logic_error("enough");
  };
  EXPECT_THROW(run.run(63, 10, "M"), std::logic_error);
  // 599.5 seconds left round to 600, a moment later to 599: a display
  // rounding the same end changes its figure at that moment too.
  const std::pair<int, double> from[] = {{600, 0}, {599, 0.5}, {598, 1.5}, {597, 2.5}};
  for (const auto& [figure, when] : from) {
    const auto first = std::find(run.shown.begin(), run.shown.end(), figure);
    ASSERT_NE(first, run.shown.end()) << figure;
    EXPECT_NEAR(run.at[static_cast<std::size_t>(first - run.shown.begin())], when, 0.01) << figure;
  }
}

TEST(Timer, AGameTakenUpPausedRunsItsNextLevelsAsEver) {
  TestRuntime t;
  TimerRun run(t);
  t.hl.keyAt(5, 'x');  // resumes the 30 seconds that were left
  run.hook = [](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() > 45) throw std::logic_error("enough");
  };
  Within paused;
  paused.paused = true;
  paused.secondsLeft = 30;
  StateWriter none;
  EXPECT_THROW(runTimer(62, 1, Mode::minutes, none, &paused), std::logic_error);
  // Level 63 began when the 30 seconds ran out, and counts down unpaused:
  // past 45.5 s, 49 of its 60 seconds are left.
  EXPECT_EQ(run.tones(), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, 35, 0.01);
  EXPECT_TEXT_AT(t, 4, 55, "22-Club)");
  EXPECT_EQ(band(t.rt.screen, 15), bandOf(expected::countdownText(49)));
}

TEST(Timer, NineMinutesStartAtFourBlanks) {
  TestRuntime t;
  TimerRun run(t);
  run.hook = [](krx::HeadlessBackend&, const krx::Screen& s) {
    if (s.rowBytes(15).find_first_not_of(' ') != std::string::npos) throw std::logic_error("seen");
  };
  EXPECT_THROW(run.run(63, 9, "M"), std::logic_error);
  ASSERT_FALSE(run.shown.empty());
  EXPECT_EQ(run.shown.back(), 540);
  EXPECT_EQ(band(t.rt.screen, 15), bandOf("    9:00"));
}

TEST(Timer, ScreenOfAMinutesLevel) {
  TestRuntime t;
  TimerRun run(t);
  std::string seen;
  run.hook = [&](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() >= 2 && seen.empty()) {
      seen = "x";
      throw std::logic_error("stop");
    }
  };
  EXPECT_THROW(run.run(25, 10, "M"), std::logic_error);
  EXPECT_TEXT_AT(t, 4, 0, " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  1-Fast)");
  EXPECT_EQ(band(t.rt.screen, 6), bandOf("   1 / 2"));
  EXPECT_TEXT_AT(t, 13, 0, " T I M E    R E M A I N I N G   F O R   T H I S    L E V E L");
  EXPECT_TEXT_AT(t, 22, 0, " N E X T   L E V E L   =     2 / 4");
  EXPECT_EQ(t.rowText(22).substr(71, 8), krx::TIME());
  EXPECT_TEXT_AT(t, 23, 0,
                 " Press: Alt-Enter=size, +/- to skip levels, Space to pause, Escape to quit");
  EXPECT_EQ(t.attrAt(4, 1), kSetup);
  EXPECT_FALSE(t.rt.screen.cursorVisible);
}

TEST(Timer, PauseFreezesTheRemainingTime) {
  TestRuntime t;
  TimerRun run(t);
  t.hl.keyAt(100.5, ' ');
  t.hl.keyAt(1100.5, '+');  // resumes; not taken as a skip
  t.hl.keyAt(1100.5, '-');  // typed with it: dropped, not a skip either
  bool checkedBand = false;
  run.hook = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    if (hl.now() > 200 && hl.now() < 1000 && !checkedBand) {
      checkedBand = true;
      for (int r = 10; r <= 15; ++r)
        for (int c = 0; c < 80; ++c) ASSERT_EQ(s.at(r, c).attr, kPrompt);
      EXPECT_EQ(band(s, 10), bandOf("  PAUSED"));
      EXPECT_EQ(s.rowBytes(23).substr(56, 23), "Press any key to resume");
      EXPECT_EQ(s.at(23, 56).attr, kPrompt);
    }
  };
  run.run(63, 10, "M");
  EXPECT_TRUE(checkedBand);
  // 500 seconds showed when Space came; the count goes on from there.
  auto resumed = std::find_if(run.at.begin(), run.at.end(), [](double a) { return a >= 1100.5; });
  ASSERT_NE(resumed, run.at.end());
  EXPECT_EQ(run.shown[static_cast<std::size_t>(resumed - run.at.begin())], 500);
  EXPECT_EQ(run.tones(), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, 1600.5, 1.0);
}

TEST(Timer, SkipForwardAtTheLastLevelRestartsIt) {
  TestRuntime t;
  TimerRun run(t);
  t.hl.keyAt(10.5, '+');
  run.run(63, 10, "M");
  EXPECT_EQ(run.tones(), concat({{{2000, 3}, {600, 1}}, kChime}));
  // Level 63 again, with its full time.
  auto restart = std::find_if(run.at.begin(), run.at.end(), [](double a) { return a > 10.5; });
  EXPECT_EQ(run.shown[static_cast<std::size_t>(restart - run.at.begin())], 600);
  EXPECT_NEAR(t.hl.tones.back().at, 10.5 + 600 + (3.0 + 1 + 2 + 3) / 18.2, 1.5);
}

// Quits with "Yes" as soon as the level after the skip is on screen.
void quitAfter(TestRuntime& t, double when) {
  t.hl.keyAt(when, 27);
  t.hl.alertAnswers({2});
}

TEST(Timer, SkipBackAtLevelsOneTwoAndTwentyFive) {
  const struct {
    int from;
    Tones tones;
    const char* caption;  // the level's number in the caption after the skip
    const char* label;
  } cases[] = {
      {1, {{1000, 2}, {600, 1}}, " 1)", "   1 / 2"},
      {2, {{1000, 2}}, " 1)", "   1 / 2"},
      {25, {{1000, 2}}, "24)", "-----"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    TestRuntime t;
    TimerRun run(t);
    t.hl.keyAt(10.5, '-');
    quitAfter(t, 30.5);
    EXPECT_THROW(run.run(c.from, 10, "M"), krx::QuitSignal);
    EXPECT_EQ(run.tones(), c.tones);
    EXPECT_TEXT_AT(t, 4, 55, c.caption);
    EXPECT_EQ(band(t.rt.screen, 6), bandOf(c.label));
  }
}

// Keys typed while a skip's tones sound are dropped, so a key pressed twice
// skips once; a key typed while the chime sounds is the next level's.
TEST(Timer, KeysTypedAsALevelEnds) {
  struct Case {
    const char* why;
    std::vector<std::pair<double, int>> keys;
    double quitAt;
    Tones tones;
    const char* level;  // in the caption when the timer is left
  };
  const Tones plus{{2000, 3}};
  const Case cases[] = {
      {"+ twice", {{10.5, '+'}, {10.6, '+'}}, 30.5, plus, " 6)"},
      {"- twice", {{10.5, '-'}, {10.55, '-'}}, 30.5, {{1000, 2}}, " 4)"},
      {"+ during the chime", {{60.2, '+'}}, 70.5, concat({kChime, plus}), " 7)"},
  };
  for (const Case& c : cases) {
    TestRuntime t;
    TimerRun run(t);
    for (const auto& [when, key] : c.keys) t.hl.keyAt(when, key);
    quitAfter(t, c.quitAt);
    EXPECT_THROW(run.run(5, 1, "M"), krx::QuitSignal) << c.why;
    EXPECT_EQ(run.tones(), c.tones) << c.why;
    EXPECT_TEXT_AT(t, 4, 55, c.level) << c.why;
  }
}

// Wherever the timer waits (counting, paused, the quit question open) rows
// 21 to 24 have their band for a TV, and a drawing of it where it fits; once
// the timer is over they have none, though they still show the last level.
TEST(Timer, TheTvBandHoldsWhereverTheTimerWaitsAndGoesWithIt) {
  TestRuntime t;
  TimerRun run(t);
  t.hl.keyAt(10.5, ' ');
  t.hl.keyAt(20.5, 'x');
  t.hl.keyAt(30.5, 27);
  t.hl.keyAt(35.5, krx::K_ENTER);  // "No"
  int waits = 0;
  run.hook = [&](krx::HeadlessBackend&, const krx::Screen& s) {
    ++waits;
    const krx::FineRows* band = s.fineRows();
    ASSERT_NE(band, nullptr);
    EXPECT_TRUE(band->draw(s, 160, 8).has_value());
    EXPECT_FALSE(band->draw(s, 160, 4).has_value());
  };
  run.run(62, 1, "M");
  EXPECT_GT(waits, 100);
  EXPECT_EQ(t.rt.screen.fineRows(), nullptr);
}

TEST(Timer, QuitQuestion) {
  TestRuntime t;
  TimerRun run(t);
  t.hl.keyAt(10.5, 27);
  t.hl.keyAt(100.5, krx::K_ENTER);  // "No", the first button
  bool blankTime = false;
  run.hook = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    if (hl.now() >= 10.5 && hl.now() < 100.5)
      blankTime = s.rowBytes(22).substr(71, 8) == "        " || blankTime;
  };
  run.run(63, 10, "M");
  ASSERT_EQ(t.hl.alerts.size(), 1u);
  EXPECT_EQ(t.hl.alerts[0].text, "Quit PotClock?");
  EXPECT_EQ(t.hl.alerts[0].options, (std::vector<std::string>{"No", "Yes"}));
  EXPECT_TRUE(blankTime);
  // The time the question stood open counted against the level.
  auto after = std::find_if(run.at.begin(), run.at.end(), [](double a) { return a >= 100.5; });
  EXPECT_EQ(run.shown[static_cast<std::size_t>(after - run.at.begin())], 500);
  EXPECT_EQ(run.tones(), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, 600.5, 1.0);

  TestRuntime t2;
  TimerRun run2(t2);
  quitAfter(t2, 5.5);
  EXPECT_THROW(run2.run(63, 10, "M"), krx::QuitSignal);
  EXPECT_TRUE(t2.hl.tones.empty());
}

TEST(Timer, HandsMode) {
  TestRuntime t;
  TimerRun run(t);
  std::vector<std::string> bands;
  run.hook = [&](krx::HeadlessBackend&, const krx::Screen& s) { bands.push_back(band(s, 15)); };
  // Hand keys a second apart; Space counts, Escape and the marker code never do.
  double when = 5;
  t.hl.keyAt(when, 'a');
  t.hl.keyAt(when += 1, ' ');
  t.hl.keyAt(when += 1, 27);
  t.hl.alertAnswers({1});
  t.hl.keyAt(when += 1, 1);
  for (int i = 0; i < 6; ++i) t.hl.keyAt(when += 1, 'h');
  run.run(63, 8, "H");

  EXPECT_EQ(bands.front(), bandOf(" HAND: 1/8"));
  EXPECT_NE(std::find(bands.begin(), bands.end(), bandOf(" HAND: 8/8")), bands.end());
  EXPECT_EQ(run.tones(), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, when, 0.5);  // after the eighth hand key
  EXPECT_EQ(t.hl.alerts.size(), 1u);
  EXPECT_TEXT_AT(t, 13, 0,
                 "              P R E S S   A   K E Y   F O R   N E X T   H A N D             ");
  EXPECT_EQ(t.attrAt(13, 1), kPrompt);
  EXPECT_TEXT_AT(t, 23, 59, "Press Escape to quit");
}

TEST(Timer, HandsModeSkipsAndTwelveHands) {
  TestRuntime t;
  TimerRun run(t);
  std::vector<std::string> bands;
  run.hook = [&](krx::HeadlessBackend&, const krx::Screen& s) { bands.push_back(band(s, 15)); };
  t.hl.keyAt(5, 'h');
  t.hl.keyAt(6, 'h');
  t.hl.keyAt(7, '+');  // level 63 again: "+" at the last level
  quitAfter(t, 9);
  EXPECT_THROW(run.run(63, 12, "H"), krx::QuitSignal);
  EXPECT_NE(std::find(bands.begin(), bands.end(), bandOf("HAND: 3/12")), bands.end());
  EXPECT_EQ(run.tones(), (Tones{{2000, 3}, {600, 1}}));
  EXPECT_EQ(bands.back(), bandOf("HAND: 1/12"));
}

TEST(Timer, LevelsKeepToTheClock) {
  {
    // The chime comes out of the next level: no drift from level to level.
    TestRuntime t;
    TimerRun run(t);
    t.hl.keyAt(0.3, 'a');  // passes off the whole second
    run.run(61, 1, "M");
    ASSERT_EQ(run.tones(), concat({kChime, kChime, kChime}));
    for (int level = 0; level < 3; ++level)
      EXPECT_NEAR(t.hl.tones[static_cast<std::size_t>(3 * level)].at, 60.0 * (level + 1), 1e-6);
  }
  {
    // A quit question left open past the level's end: the level ends when it
    // is answered, and the next starts afresh with its full time.
    TestRuntime t;
    TimerRun run(t);
    t.hl.keyAt(590, 27);
    t.hl.keyAt(700, krx::K_ENTER);  // "No"
    run.run(62, 10, "M");
    ASSERT_EQ(run.tones(), concat({kChime, kChime}));
    EXPECT_NEAR(t.hl.tones[0].at, 700, 1e-6);
    EXPECT_NEAR(t.hl.tones[3].at, 700 + 9.0 / 18.2 + 600, 0.05);
  }
}

TEST(Timer, ZeroMinutesHighStartsAndTheEnd) {
  {
    TestRuntime t;
    TimerRun run(t);
    run.run(62, 0, "M");  // two levels, each ends at once with its chime
    EXPECT_EQ(run.tones(), concat({kChime, kChime}));
  }
  {
    TestRuntime t;
    TimerRun run(t);
    run.run(64, 10, "M");  // no level to run
    EXPECT_TRUE(t.hl.tones.empty());
    EXPECT_EQ(t.rowText(4), std::string(80, ' '));
  }
}

TEST(Timer, LevelOverMidnightAndClockSteps) {
  TestRuntime t(krx::LocalTime{2026, 12, 7, 23, 55, 0});
  TimerRun run(t);
  run.hook = [](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() > 100 && hl.now() < 102) hl.stepWallClock(-3600);  // clocks go back
  };
  run.run(63, 10, "M");
  ASSERT_EQ(run.tones(), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, 600, 1.0);
}

}  // namespace
}  // namespace potclock
