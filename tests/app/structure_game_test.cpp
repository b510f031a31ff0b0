#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/disk/channel.h"
#include "app/disk/resume.h"
#include "app/disk/statefile.h"
#include "app/disk/statewriter.h"
#include "app/game/command.h"
#include "app/game/structure.h"
#include "app/screens/timer.h"
#include "runtime/console/console.h"
#include "runtime/lang/error.h"
#include "support/glyph_pictures.h"
#include "support/level_table.h"
#include "support/structure_entries.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

using timerscreen::band;
using timerscreen::bandOf;
using timerscreen::concat;
using timerscreen::kChime;
using timerscreen::Tones;

TEST(Structure, BuiltInStructuresKeepTheirLabelsAndBlinds) {
  for (const auto& s : expected::kStructureLevels) {
    const Structure t = builtInStructure(s.letter);
    ASSERT_EQ(t.entries.size(), static_cast<std::size_t>(s.last - s.first + 1)) << s.letter;
    for (int n = s.first; n <= s.last; ++n) {
      const Entry& e = t.entries[static_cast<std::size_t>(n - s.first)];
      EXPECT_EQ(blindsLabel(e.small, e.big), expected::level(n).label) << "level " << n;
      EXPECT_EQ(e.big, expected::level(n).bigBlind) << "level " << n;
      EXPECT_EQ(levelNumber(t, static_cast<std::size_t>(n - s.first)), n - s.first + 1);
    }
  }
}

TEST(Structure, LabelsTooWideForTheScreenAreShortened) {
  const struct {
    long small, big;
    const char* label;
  } cases[] = {
      {8000, 16000, "8000/16000"},          // 79 columns: still whole
      {15000, 30000, " 15K/30K"},           // whole thousands
      {12500, 25000, "12.5K/25K"},          // never "12500/25K"
      {500000, 1000000, "500K/1000K"},      // both halves in one unit where that fits
      {1500000, 3000000, "1.5M/3M"},        // never "1500K/3M"
      {2000000, 4000000, "  2M/4M"},        // millions as M
      {1234567, 2345678, "1.2M/2.3M"},      // rounded as far as it must be
      {123456789, 987654321, "123M/988M"},  // the largest amounts
      {50, 100000, "  50/100K"},
  };
  for (const auto& c : cases) EXPECT_EQ(blindsLabel(c.small, c.big), c.label);
  // Whatever the amounts, the label fits the 80 columns in large text.
  for (long a = 1; a <= kMaxChips; a = a * 3 + 7) {
    for (long b : {a, a * 2 + 1, kMaxChips}) {
      if (b > kMaxChips) continue;
      const std::string label = blindsLabel(a, b);
      EXPECT_LE(expected::columns(expected::bigRows(label, 0)[0]), 80u) << a << "/" << b;
    }
  }
  EXPECT_EQ(chipsText(1000), "1,000");
  EXPECT_EQ(chipsText(999999999), "999,999,999");
  EXPECT_EQ(chipsText(25), "25");
}

using entries::level;
using entries::pause;

// Two levels, a break, and a level whose label must be shortened.
Structure friday() {
  return {"Friday deep stack",
          false,
          {level(25, 50, 1), level(100, 200, 2, 25), pause(1, "Colour up the 25s at the café"),
           level(15000, 30000, 1, 1000)}};
}

// Runs a structure on the headless runtime and keeps, at each moment asked
// for, the screen as it stood at the first wait from then on.
struct StructureRun {
  explicit StructureRun(TestRuntime& runtime) : t(runtime) {
    t.hl.onWait = [this](krx::HeadlessBackend& hl, const krx::Screen& s) {
      for (auto& [when, seen] : screens)
        if (hl.now() >= when && seen.empty()) seen = this->t.screenText() + band(s, 6);
      for (auto& [when, seen] : times)
        if (hl.now() >= when && seen.empty()) seen = band(s, 15);
    };
    krx::SETCOLOR(kSetupColors);
    krx::SCROLL();
  }
  void look(double when) { screens[when]; }
  std::string rowOf(double when, int r) const {
    const std::string& all = screens.at(when);
    std::size_t at = 0;
    for (int i = 0; i < r; ++i) at = all.find('\n', at) + 1;
    return all.substr(at, all.find('\n', at) - at);
  }
  std::string bigBlinds(double when) const {
    const std::string& all = screens.at(when);
    std::size_t at = 0;
    for (int i = 0; i < 25; ++i) at = all.find('\n', at) + 1;
    return all.substr(at);
  }
  // Quits with "Yes" at `when`.
  void quitAt(double when) {
    t.hl.keyAt(when, 27);
    t.hl.alertAnswers({2});
  }
  void play(const Structure& tour, const ResumePoint* from = nullptr, Inbox* inbox = nullptr) {
    StateWriter none;
    const Game game = Game::of(tour);
    EXPECT_THROW(runGame(game, none, from ? from->index : 0, from ? &from->within : nullptr, inbox),
                 krx::QuitSignal);
  }
  Tones tones() const { return timerscreen::tonesHeard(t.hl); }

  // The large countdown as it stood at the first wait from `when` on.
  void lookAtTime(double when) { times[when]; }

  TestRuntime& t;
  std::map<double, std::string> screens;
  std::map<double, std::string> times;
};

// A director's commands, each coming in at its moment, and the clock's
// answers to them.
struct ScriptedInbox : Inbox {
  ScriptedInbox(krx::HeadlessBackend& backend, std::vector<std::pair<double, std::string>> s)
      : hl(backend), script(std::move(s)) {}
  int descriptor() const override { return -1; }
  std::optional<Told> next() override {
    if (at == script.size() || hl.now() < script[at].first) return std::nullopt;
    return Told{commandWords(script[at++].second), [this](bool ok, std::string_view text) {
                  answers.push_back((ok ? "ok " : "no ") + std::string(text));
                }};
  }
  krx::HeadlessBackend& hl;
  std::vector<std::pair<double, std::string>> script;
  std::size_t at = 0;
  std::vector<std::string> answers;
};

std::string trimmed(std::string s) {
  return s.erase(s.find_last_not_of(' ') + 1);
}

TEST(StructureTimer, LevelsAntesAndABreakAsThePlayersSeeThem) {
  TestRuntime t;
  StructureRun run(t);
  for (double when : {0.5, 60.5, 180.5, 240.5}) run.look(when);
  run.quitAt(250.5);
  run.play(friday());

  EXPECT_EQ(trimmed(run.rowOf(0.5, 1)), std::string(31, ' ') + "Friday deep stack");
  EXPECT_EQ(trimmed(run.rowOf(0.5, 4)),
            " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  1)");
  EXPECT_EQ(run.bigBlinds(0.5), bandOf("  25 / 50"));
  EXPECT_EQ(trimmed(run.rowOf(0.5, 22).substr(0, 70)),
            " N E X T   L E V E L   =  100/200  Ante: 25");

  EXPECT_EQ(trimmed(run.rowOf(60.5, 4)),
            " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  2)   Ante: 25");
  EXPECT_EQ(run.bigBlinds(60.5), bandOf("  100/200"));
  EXPECT_EQ(trimmed(run.rowOf(60.5, 22).substr(0, 70)),
            " N E X T   L E V E L   =  break of 1 minute");

  EXPECT_EQ(trimmed(run.rowOf(180.5, 4)), " Colour up the 25s at the café");
  EXPECT_EQ(run.bigBlinds(180.5), bandOf("  BREAK"));
  EXPECT_EQ(trimmed(run.rowOf(180.5, 13)),
            " T I M E    R E M A I N I N G   I N   T H I S    B R E A K");
  EXPECT_EQ(trimmed(run.rowOf(180.5, 22).substr(0, 70)),
            " N E X T   L E V E L   =  15K/30K  Ante: 1,000");

  EXPECT_EQ(trimmed(run.rowOf(240.5, 4)),
            " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  3)   Ante: 1,000");
  EXPECT_EQ(run.bigBlinds(240.5), bandOf(" 15K/30K"));
  EXPECT_EQ(trimmed(run.rowOf(240.5, 22).substr(0, 70)), " N E X T   L E V E L   =  -----");
  // A chime as each level and the break end, on time.
  EXPECT_EQ(run.tones(), concat({kChime, kChime, kChime}));
  ASSERT_EQ(t.hl.tones.size(), 9u);
  EXPECT_NEAR(t.hl.tones[0].at, 60, 1e-6);
  EXPECT_NEAR(t.hl.tones[6].at, 240, 1.0);
}

TEST(StructureTimer, SkipsCrossBreaksAndStopAtTheEnds) {
  TestRuntime t;
  StructureRun run(t);
  const double keys[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  const char pressed[] = {'-', '+', '+', '+', '+', '-', '-', '-', '-'};
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    t.hl.keyAt(keys[i], pressed[i]);
    run.look(keys[i] + 0.5);
  }
  run.quitAt(100);
  run.play(friday());
  const std::string shown[] = {"  25 / 50", "  100/200", "  BREAK",   " 15K/30K", " 15K/30K",
                               "  BREAK",   "  100/200", "  25 / 50", "  25 / 50"};
  for (std::size_t i = 0; i < std::size(keys); ++i)
    EXPECT_EQ(run.bigBlinds(keys[i] + 0.5), bandOf(shown[i])) << "after key " << i;
  const Tones back{{1000, 2}}, forward{{2000, 3}}, low{{600, 1}};
  EXPECT_EQ(run.tones(), concat({back, low, forward, forward, forward, forward, low, back, back,
                                 back, back, low}));
}

TEST(StructureTimer, TheLastLevelStartsAgainWhenItRunsOut) {
  TestRuntime t;
  StructureRun run(t);
  run.look(5.5);
  run.quitAt(6.2);
  ResumePoint from{3, {}};
  from.within.secondsLeft = 5;
  run.play(friday(), &from);
  EXPECT_EQ(run.tones(), concat({kChime, {{600, 1}}}));
  EXPECT_EQ(run.bigBlinds(5.5), bandOf(" 15K/30K"));
  // The full minute again, less the chime.
  EXPECT_EQ(band(t.rt.screen, 15), bandOf("    0:59"));
}

TEST(StructureTimer, TheDirectorCorrectsPausesAndJumpsTheRunningClock) {
  TestRuntime t;
  StructureRun run(t);
  ScriptedInbox inbox(t.hl, {{5.2, "time +1m"},
                             {10.2, "pause"},
                             {20.2, "time 5:00"},
                             {25.2, "resume"},
                             {31.2, "level 3"},
                             {33.2, "bust"}});
  for (double when : {7.2, 15.0, 22.0, 30.7}) run.lookAtTime(when);
  for (double when : {15.0, 28.0, 32.0}) run.look(when);
  run.quitAt(45);
  run.play(friday(), nullptr, &inbox);

  // A minute more on the level's 60 seconds, 7.2 seconds in.
  EXPECT_EQ(run.times.at(7.2), bandOf("    1:52"));
  EXPECT_NE(run.rowOf(15.0, 23).find("Press any key to resume"), std::string::npos);
  // Under the band that says it is paused, whose last row covers its first.
  const auto below = [](const std::string& band) { return band.substr(band.find('\n')); };
  EXPECT_EQ(below(run.times.at(22.0)), below(bandOf("    5:00")));
  EXPECT_EQ(run.bigBlinds(28.0), bandOf("  25 / 50"));
  // Five minutes from the resume, five and a half seconds before.
  EXPECT_EQ(run.times.at(30.7), bandOf("    4:54"));
  EXPECT_EQ(run.bigBlinds(32.0), bandOf(" 15K/30K"));
  ASSERT_EQ(inbox.answers.size(), 6u);
  EXPECT_TRUE(inbox.answers[0].starts_with("ok level 1 has 1:5")) << inbox.answers[0];
  EXPECT_TRUE(inbox.answers[0].ends_with("left (+1:00)")) << inbox.answers[0];
  EXPECT_TRUE(inbox.answers[1].starts_with("ok level 1 paused at 1:")) << inbox.answers[1];
  EXPECT_TRUE(inbox.answers[2].starts_with("ok level 1 has 5:00 left")) << inbox.answers[2];
  EXPECT_EQ(inbox.answers[3], "ok level 1 goes on at 5:00");
  EXPECT_EQ(inbox.answers[4], "ok level 3 begins: 15K/30K, 1 minute");
  EXPECT_EQ(inbox.answers[5], "no this game has no [tournament] table, so it keeps no numbers");
  // The jump sounds as a skip forward.
  EXPECT_EQ(run.tones(), Tones({{2000, 3}}));
}

TEST(StructureTimer, AGameResumedJustAfterMidnightGoesOnWithTheTimeItHad) {
  // The timer's clock reads from 0 at midnight: a level begun before then
  // began at a reading below 0, and still goes on where it was.
  TestRuntime t(krx::LocalTime{2026, 12, 8, 0, 0, 10});
  StructureRun run(t);
  run.lookAtTime(0.5);
  run.quitAt(1);
  ResumePoint from{1, {}};
  from.within.secondsLeft = 30;
  run.play(friday(), &from);
  EXPECT_EQ(run.times.at(0.5), bandOf("    0:29"));
}

TEST(StructureTimer, AGameResumedPausedKeepsTheTimeItWasPausedWith) {
  TestRuntime t;
  StructureRun run(t);
  t.hl.keyAt(5, 'x');  // resumes
  run.quitAt(5.2);
  ResumePoint from{1, {}};
  from.within.paused = true;
  from.within.secondsLeft = 42;
  run.play(friday(), &from);
  EXPECT_EQ(band(t.rt.screen, 15), bandOf("    0:42"));
}

TEST(StructureTimer, HandsLevelsCountHandsAndBreaksCountMinutes) {
  TestRuntime t;
  StructureRun run(t);
  Structure hands{"", true, {level(1, 2, 2), pause(1), level(5, 10, 120)}};
  t.hl.keyAt(1, 'a');
  t.hl.keyAt(2, 27);  // "No": no hand
  t.hl.keyAt(3, 1);   // never a hand
  t.hl.keyAt(4, ' ');
  run.look(1.5);
  run.look(5.5);
  t.hl.keyAt(75, 27);
  t.hl.alertAnswers({1, 2});
  StateWriter none;
  EXPECT_THROW(runGame(Game::of(hands), none, 0), krx::QuitSignal);
  EXPECT_EQ(run.bigBlinds(1.5), bandOf("   1 / 2"));
  EXPECT_EQ(band(t.rt.screen, 15), bandOf("    1/120"));
  EXPECT_EQ(run.tones(), concat({kChime, kChime}));
  EXPECT_NEAR(t.hl.tones[3].at, 4 + 60, 1.0);  // the break ran its minute
  EXPECT_EQ(run.bigBlinds(5.5), bandOf("  BREAK"));
}

// Where a saved state stands in structure `t`; nothing when it does not fit.
std::optional<ResumePoint> pointOf(const GameState& state, const Structure& t, double now) {
  const auto game = gameOfState(state, t);
  if (!game) return std::nullopt;
  return resumePoint(state, *game, now);
}

TEST(StructureResume, EntriesThatRanOutMeanwhileArePassedByTheirOwnLengths) {
  const Structure t = friday();
  auto running = [](int entry, int length, double endsAt) {
    GameState s;
    s.structure = true;
    s.nLevel = entry;
    s.nPerLevel = length;
    s.endsAt = endsAt;
    return s;
  };
  const double now = 1'000'000;
  const struct {
    GameState state;
    int entry;
    double left;
  } cases[] = {
      {running(1, 1, now + 30), 0, 30},   // still running
      {running(1, 1, now - 70), 1, 50},   // into level 2 (2 minutes)
      {running(2, 2, now - 150), 3, 30},  // past the break, into the last
      {running(4, 1, now - 130), 3, 50},  // the last starts again and again
  };
  for (const auto& c : cases) {
    const auto point = pointOf(c.state, t, now);
    ASSERT_TRUE(point);
    EXPECT_EQ(point->index, c.entry);
    EXPECT_NEAR(point->within.secondsLeft, c.left, 1e-6);
  }
  // A state that does not fit the structure is damaged.
  EXPECT_FALSE(pointOf(running(2, 1, now), t, now));
  EXPECT_FALSE(pointOf(running(5, 1, now), t, now));
  // In a hands structure, time runs out a break but never a hands level.
  Structure hands{"", true, {pause(1), level(1, 2, 8), level(2, 4, 8)}};
  const auto point = pointOf(running(1, 1, now - 3000), hands, now);
  ASSERT_TRUE(point);
  EXPECT_EQ(point->index, 1);
  EXPECT_EQ(point->within.handsCounted, 0);
}

}  // namespace
}  // namespace potclock
