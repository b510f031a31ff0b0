// A display of a game (potclock --watch) on the headless runtime, following a
// state file as the clock leaves it: it shows what the clock shows, at the
// moment the clock shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/disk/statefile.h"
#include "app/game/structurefile.h"
#include "app/screens/display.h"
#include "runtime/console/console.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

namespace fs = std::filesystem;
using timerscreen::band;
using timerscreen::bandOf;
using timerscreen::kChime;

struct Seen {
  double at;
  std::string caption;  // row 4
  std::string figure;   // the large count
};

// A state of level `level`, ending `endsIn` seconds from now.
GameState levelOf(int level, int minutes, double endsIn) {
  GameState s;
  s.nLevel = level;
  s.nPerLevel = minutes;
  s.endsAt = krx::EPOCHSECONDS() + endsIn;
  return s;
}

// Follows the game in the state directory `dir` (its file written first
// when `state` is given) until q at `until`; `meanwhile` runs at each wait.
std::vector<Seen> follow(TestRuntime& t, const fs::path& dir, const GameState* state, double until,
                         std::function<void(double)> meanwhile = {}) {
  if (state) {
    EXPECT_TRUE(saveGameState(dir / "game", *state).ok());
  }
  std::vector<Seen> seen;
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    seen.push_back({hl.now(), t.rowText(4), band(s, 15)});
    if (meanwhile) meanwhile(hl.now());
  };
  t.hl.keyAt(until, 'q');
  watchGame(StateLocation{dir.parent_path(), dir.filename()}, "");
  return seen;
}

std::string caption(int level) {
  std::string row = " S M A L L   B L I N D  /  B I G   B L I N D   (Level: " +
                    std::string(level < 10 ? " " : "") + std::to_string(level) + ")";
  return row + std::string(80 - row.size(), ' ');
}

TEST(Display, StandsStillWhileTheClocksQuitQuestionIsOpen) {
  TestRuntime t;
  TempCwd tmp;
  // The level's end has long passed: the clock's screen stands all the same.
  GameState s = levelOf(5, 10, -100);
  s.asking = true;
  s.secondsLeft = 37;
  for (const Seen& seen : follow(t, tmp.path() / "potclock", &s, 5)) {
    EXPECT_EQ(seen.caption, caption(5)) << seen.at;
    EXPECT_EQ(seen.figure, bandOf("    0:37")) << seen.at;
  }
  EXPECT_TRUE(t.hl.tones.empty());
}

TEST(Display, ChangesTheFigureAndChimesWhenTheClockDoes) {
  TestRuntime t;
  TempCwd tmp;
  const GameState s = levelOf(5, 1, 2.3);
  const std::vector<Seen> seen = follow(t, tmp.path() / "potclock", &s, 5);
  // Each figure from the moment the time left, rounded, comes to it.
  const std::pair<std::string, double> from[] = {
      {"    0:01", 0.8}, {"    0:00", 1.8}, {"    1:00", 2.3 + 9 / 18.2}};
  for (const auto& [figure, when] : from) {
    const auto first = std::find_if(seen.begin(), seen.end(),
                                    [&](const Seen& v) { return v.figure == bandOf(figure); });
    ASSERT_NE(first, seen.end()) << figure;
    EXPECT_NEAR(first->at, when, 0.01) << figure;
  }
  // The chime at the level's end, while the level that ran out stands, as on
  // the clock; the next level only after it.
  EXPECT_EQ(timerscreen::tonesHeard(t.hl), kChime);
  EXPECT_NEAR(t.hl.tones.front().at, 2.3, 0.01);
  for (const Seen& v : seen)
    EXPECT_EQ(v.caption, caption(v.at < 2.3 + 9 / 18.2 - 0.01 ? 5 : 6)) << v.at;
}

TEST(Display, ChimesOnlyWhenTheClockDoes) {
  // Level 5 skipped in its last second: the clock sounds the skip, and no
  // chime; nor does a display.
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  const GameState s = levelOf(5, 1, 1.2);
  bool skipped = false;
  follow(t, dir, &s, 3, [&](double now) {
    if (now >= 0.5 && !std::exchange(skipped, true)) {
      ASSERT_TRUE(saveGameState(dir / "game", levelOf(6, 1, 60)).ok());
    }
  });
  EXPECT_EQ(t.rowText(4), caption(6));
  EXPECT_TRUE(t.hl.tones.empty());
}

TEST(Display, TheLastLevelStartingAgainSoundsTheClocksLowToneToo) {
  // A structure's only level runs out and starts again: the clock plays the
  // chime and its low tone before it shows the level afresh. So does a
  // display, so that the two show the new figure at one moment, and never
  // the 1:00 that the clock did not show.
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  fs::create_directories(dir);
  std::ofstream(dir / "game.structure")
      << formatStructure(Structure{"", false, {Entry{false, 25, 50, 0, 1, ""}}}, "test");
  GameState s = levelOf(1, 1, 1.2);
  s.structure = true;
  const std::vector<Seen> seen = follow(t, dir, &s, 3);
  EXPECT_EQ(timerscreen::tonesHeard(t.hl), timerscreen::concat({kChime, {{600, 1}}}));
  for (const Seen& v : seen) EXPECT_NE(v.figure, bandOf("    1:00")) << v.at;
  EXPECT_EQ(seen.back().figure, bandOf("    0:58"));
}

TEST(Display, FollowsAStateDirectoryMadeAnewAfterItWasRemoved) {
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  GameState s = levelOf(7, 10, 0);
  s.paused = true;
  s.secondsLeft = 300;
  follow(t, dir, &s, 4, [&](double now) {
    if (now >= 1 && fs::exists(dir / "game")) fs::remove_all(dir);
    if (now >= 2 && !fs::exists(dir)) {
      s.nLevel = 9;
      ASSERT_TRUE(saveGameState(dir / "game", s).ok());
    }
  });
  EXPECT_EQ(t.rowText(4), caption(9));
}

TEST(Display, ShowsTheGameWithinATenthOfASecondOfItsDirectoryBeingMade) {
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "state" / "potclock";
  const GameState s = levelOf(7, 10, 300);
  double made = 0;
  const auto seen = follow(t, dir, nullptr, 3, [&](double now) {
    if (now >= 1.3 && made == 0) {
      ASSERT_TRUE(saveGameState(dir / "game", s).ok());
      made = now;
    }
  });
  const auto shown =
      std::find_if(seen.begin(), seen.end(), [](const Seen& v) { return v.caption == caption(7); });
  ASSERT_NE(shown, seen.end());
  EXPECT_LE(shown->at - made, 0.1);
}

TEST(Display, SaysWhyItCannotFollowAStateDirectoryOthersMayChange) {
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  fs::create_directory(dir);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_all);
  follow(t, dir, nullptr, 1);
  std::string shown;
  for (int row = 16; row <= 20; ++row) shown += t.rowText(row);
  EXPECT_NE(shown.find("may be changed by other users (mode 0770)"), std::string::npos) << shown;
}

}  // namespace
}  // namespace potclock

namespace potclock {
namespace {

// The numbers row follows the clock's count as the level's figure does.
TEST(Display, ShowsTheTournamentsNumbersAndEachChangeOfThem) {
  TestRuntime t;
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  Structure structure{"", false, {{false, 50, 100, 0, 10, ""}}};
  structure.numbers = NumbersRules{};
  structure.numbers->chips = 10000;
  structure.numbers->buyIn = 20;
  GameState s = levelOf(1, 10, 300);
  s.structure = true;
  s.count = Count{9, 9, 0, 0};
  fs::create_directory(dir);
  std::ofstream(dir / "game.structure") << formatStructure(structure, "");
  std::vector<std::pair<double, std::string>> rows;
  double changedAt = 0;
  follow(t, dir, &s, 3, [&](double now) {
    rows.emplace_back(now, t.rowText(3));
    if (now >= 1 && changedAt == 0) {
      s.count->players = 8;
      ASSERT_TRUE(saveGameState(dir / "game", s).ok());
      changedAt = now;
    }
  });
  // 90,000 chips over 9 and then 8 players, at 100 a big blind; 180 in the
  // pool, which nine entries pay to two places. The change shows within a
  // fifth of a second.
  for (const auto& [when, row] : rows) {
    if (when > changedAt && when < changedAt + 0.2) continue;
    const std::string want = when <= changedAt
                                 ? " Players 9/9   Avg 10,000 (100 BB)   Pool 180   Paid 2"
                                 : " Players 8/9   Avg 11,250 (113 BB)   Pool 180   Paid 2";
    EXPECT_EQ(row.substr(0, want.size()), want) << when;
  }
  EXPECT_GT(rows.back().first, changedAt + 0.2);
}

}  // namespace
}  // namespace potclock
