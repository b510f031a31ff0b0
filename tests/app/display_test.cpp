// A display of a game (potclock --watch) on the headless runtime, following a
// state file as the clock leaves it: it shows what the clock shows, at the
// moment the clock shows it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/disk/statefile.h"
#include "app/screens/display.h"
#include "runtime/console/console.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

using timerscreen::band;
using timerscreen::bandOf;
using timerscreen::kChime;

struct Seen {
  double at;
  std::string caption;  // row 4
  std::string figure;   // the large count
};

// Follows `state` (its end `endsIn` seconds from the start) until q at `until`.
std::vector<Seen> follow(TestRuntime& t, GameState state, double endsIn, double until) {
  TempCwd tmp;
  state.endsAt = krx::EPOCHSECONDS() + endsIn;
  EXPECT_TRUE(saveGameState(tmp.path() / "potclock" / "game", state).ok());
  std::vector<Seen> seen;
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    seen.push_back({hl.now(), t.rowText(4), band(s, 15)});
  };
  t.hl.keyAt(until, 'q');
  watchGame(StateLocation{tmp.path(), "potclock"}, "");
  return seen;
}

std::string caption(int level) {
  std::string row = " S M A L L   B L I N D  /  B I G   B L I N D   (Level: " +
                    std::string(level < 10 ? " " : "") + std::to_string(level) + ")";
  return row + std::string(80 - row.size(), ' ');
}

TEST(Display, StandsStillWhileTheClocksQuitQuestionIsOpen) {
  TestRuntime t;
  GameState s;
  s.nLevel = 5;
  s.nPerLevel = 10;
  s.asking = true;
  s.secondsLeft = 37;
  // The level's end has long passed: the clock's screen stands all the same.
  for (const Seen& seen : follow(t, s, -100, 5)) {
    EXPECT_EQ(seen.caption, caption(5)) << seen.at;
    EXPECT_EQ(seen.figure, bandOf("    0:37")) << seen.at;
  }
  EXPECT_TRUE(t.hl.tones.empty());
}

TEST(Display, ChangesTheFigureAndChimesWhenTheClockDoes) {
  TestRuntime t;
  GameState s;
  s.nLevel = 5;
  s.nPerLevel = 1;
  const std::vector<Seen> seen = follow(t, s, 2.3, 5);
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
  const std::filesystem::path file = tmp.path() / "potclock" / "game";
  GameState s;
  s.nLevel = 5;
  s.nPerLevel = 1;
  s.endsAt = krx::EPOCHSECONDS() + 1.2;
  ASSERT_TRUE(saveGameState(file, s).ok());
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() >= 0.5 && s.nLevel == 5) {
      s.nLevel = 6;
      s.endsAt = krx::EPOCHSECONDS() + 60;
      ASSERT_TRUE(saveGameState(file, s).ok());
    }
  };
  t.hl.keyAt(3, 'q');
  watchGame(StateLocation{tmp.path(), "potclock"}, "");
  EXPECT_EQ(t.rowText(4), caption(6));
  EXPECT_TRUE(t.hl.tones.empty());
}

TEST(Display, FollowsAStateDirectoryMadeAnewAfterItWasRemoved) {
  TestRuntime t;
  TempCwd tmp;
  const std::filesystem::path dir = tmp.path() / "potclock";
  GameState s;
  s.nLevel = 7;
  s.nPerLevel = 10;
  s.paused = true;
  s.secondsLeft = 300;
  ASSERT_TRUE(saveGameState(dir / "game", s).ok());
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (hl.now() >= 1 && std::filesystem::exists(dir / "game")) std::filesystem::remove_all(dir);
    if (hl.now() >= 2 && !std::filesystem::exists(dir)) {
      s.nLevel = 9;
      ASSERT_TRUE(saveGameState(dir / "game", s).ok());
    }
  };
  t.hl.keyAt(4, 'q');
  watchGame(StateLocation{tmp.path(), "potclock"}, "");
  EXPECT_EQ(t.rowText(4), caption(9));
}

TEST(Display, SaysWhyItCannotFollowAStateDirectoryOthersMayChange) {
  TestRuntime t;
  TempCwd tmp;
  const std::filesystem::path dir = tmp.path() / "potclock";
  std::filesystem::create_directory(dir);
  std::filesystem::permissions(
      dir, std::filesystem::perms::owner_all | std::filesystem::perms::group_all);
  t.hl.keyAt(1, 'q');
  watchGame(StateLocation{tmp.path(), "potclock"}, "");
  std::string shown;
  for (int row = 16; row <= 20; ++row) shown += t.rowText(row);
  EXPECT_NE(shown.find("may be changed by other users (mode 0770)"), std::string::npos) << shown;
}

}  // namespace
}  // namespace potclock
