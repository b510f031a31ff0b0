// Keeping the running game on disk and taking it up again, on the headless
// runtime: the virtual clock runs the timer, and a fresh runtime started at a
// later wall-clock time plays the program started again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "app/disk/resume.h"
#include "app/disk/statefile.h"
#include "app/disk/statewriter.h"
#include "app/game/structurefile.h"
#include "app/main.h"
#include "app/screens/clock.h"
#include "app/screens/timer.h"
#include "frame/entry.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "support/file_size_limit.h"
#include "support/structure_entries.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"
#include "support/timer_screen.h"

namespace potclock {
namespace {

namespace fs = std::filesystem;

// The headless wall clock starts at 2026-12-07 20:00:00, read as UTC.
constexpr double kEpochAtStart = 1796673600.0;

// Thrown from a wait to stop the program dead, as SIGKILL would.
struct Killed {};

GameState read(const fs::path& file) {
  const auto loaded = loadGameState(file);
  if (!loaded.ok()) throw std::runtime_error("no game state");
  return loaded.value();
}

// What `potclock --resume` does before the terminal is taken: nothing when
// the game can be taken up, else the exit status.
std::optional<int> resumeRefusal(const fs::path& file, double now) {
  const auto loaded = loadSavedGame(file, now);
  if (!loaded.ok()) return refuseResume(loaded.failure());
  return std::nullopt;
}

// The same with the runtime up, its wall clock taken for now, and the game
// taken up when it can be.
void resumeGame(const fs::path& file) {
  const auto loaded = loadSavedGame(file, krx::EPOCHSECONDS());
  const auto resumed =
      loaded.ok() ? RESUME(loaded.value(), StateWriter::Writing::inForeground) : loaded.failure();
  if (!resumed.ok()) refuseResume(resumed.failure());
}

using timerscreen::band;
using timerscreen::bandOf;

// Row 4 without its trailing blanks.
std::string caption(TestRuntime& t) {
  std::string row = t.rowText(4);
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

krx::LocalTime wallAt(int hour, int minute, double second) {
  return krx::LocalTime{2026, 12, 7, hour, minute, second};
}

// Where a saved built-in game stands at `now`.
std::optional<ResumePoint> resumePoint(const GameState& state, double now) {
  return potclock::resumePoint(state, *gameOfState(state, std::nullopt), now);
}

TEST(ResumePoint, TheClockGoesOnWhileTheProgramIsClosed) {
  GameState running;
  running.nLevel = 5;
  running.nPerLevel = 2;
  running.endsAt = 1000;
  struct Case {
    const char* why;
    double now;
    std::optional<int> level;
    double left;
  };
  const Case cases[] = {
      {"closed a moment", 900.5, 5, 99.5},
      {"the level ran out 150 s ago: the next one too, the one after has 90 s", 1150, 7, 90},
      {"the level runs out the very moment", 1000, 6, 120},
      {"a wall clock set back does not lengthen the level", 500, 5, 120},
  };
  for (const Case& c : cases) {
    const auto point = resumePoint(running, c.now);
    ASSERT_TRUE(point.has_value()) << c.why;
    EXPECT_EQ(point->index + 1, c.level) << c.why;
    EXPECT_DOUBLE_EQ(point->within.secondsLeft, c.left) << c.why;
    EXPECT_FALSE(point->within.paused) << c.why;
  }

  // Near the end: level 63 still runs, then the game is over.
  running.nLevel = 62;
  ASSERT_TRUE(resumePoint(running, 1030).has_value());
  EXPECT_EQ(resumePoint(running, 1030)->index + 1, 63);
  EXPECT_FALSE(resumePoint(running, 1120).has_value());
  running.nLevel = 63;
  EXPECT_FALSE(resumePoint(running, 1000.01).has_value());
  EXPECT_FALSE(resumePoint(running, 1e9).has_value());

  // Paused and hands games stand where they were, however late.
  GameState pausedGame = running;
  pausedGame.paused = true;
  pausedGame.secondsLeft = 42;
  const auto paused = resumePoint(pausedGame, 1e9);
  ASSERT_TRUE(paused.has_value());
  EXPECT_EQ(paused->index + 1, 63);
  EXPECT_TRUE(paused->within.paused);
  EXPECT_DOUBLE_EQ(paused->within.secondsLeft, 42);

  GameState handsGame;
  handsGame.nLevel = 23;
  handsGame.nPerLevel = 5;
  handsGame.mode = Mode::hands;
  handsGame.handsCounted = 2;
  const auto hands = resumePoint(handsGame, 1e9);
  ASSERT_TRUE(hands.has_value());
  EXPECT_EQ(hands->index + 1, 23);
  EXPECT_EQ(hands->within.handsCounted, 2);
}

// A minutes game of 2-minute levels from level 5 on the headless runtime,
// with `at(time)` called at each wait.
void runMinutesGame(TestRuntime& t, const fs::path& file, const std::function<void(double)>& at) {
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen&) { at(hl.now()); };
  krx::SETCOLOR(kSetupColors);
  krx::SCROLL();
  StateWriter writer(file);
  runTimer(5, 2, Mode::minutes, writer);
}

TEST(StateWriter, FollowsTheLevelsPausesAndSkipsOfAMinutesGame) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "potclock" / "game";
  TestRuntime t;
  t.hl.keyAt(40.5, ' ');
  t.hl.keyAt(100.5, 'x');  // resumes with 80 s left, due at 180.5
  t.hl.keyAt(150.5, '+');
  t.hl.keyAt(200.5, 27);
  t.hl.alertAnswers({2});  // "Yes": the game is over
  std::vector<std::pair<double, GameState>> seen;
  EXPECT_THROW(runMinutesGame(t, file,
                              [&](double now) {
                                if (fs::exists(file)) seen.emplace_back(now, read(file));
                              }),
               krx::QuitSignal);
  EXPECT_FALSE(fs::exists(file));

  auto stateAt = [&](double when) {
    std::optional<GameState> last;
    for (const auto& [now, s] : seen)
      if (now <= when) last = s;
    if (!last) throw std::runtime_error("nothing written by then");
    return *last;
  };
  // Level 5 began at the start and ends two minutes later.
  GameState s = stateAt(1);
  EXPECT_EQ(s.nLevel, 5);
  EXPECT_EQ(s.nPerLevel, 2);
  EXPECT_EQ(s.mode, Mode::minutes);
  EXPECT_FALSE(s.paused);
  EXPECT_NEAR(s.endsAt, kEpochAtStart + 120, 0.01);
  // Paused with the 80 seconds shown then.
  s = stateAt(90);
  EXPECT_TRUE(s.paused);
  EXPECT_EQ(s.secondsLeft, 80);
  // Running again: the pause did not count.
  s = stateAt(120);
  EXPECT_FALSE(s.paused);
  EXPECT_NEAR(s.endsAt, kEpochAtStart + 180.5, 1.0);
  // "+" to level 6, with its full two minutes.
  s = stateAt(170);
  EXPECT_EQ(s.nLevel, 6);
  EXPECT_NEAR(s.endsAt, kEpochAtStart + 150.5 + 120, 1.0);
}

TEST(StateWriter, TellsThatTheQuitQuestionIsOpen) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "potclock" / "game";
  TestRuntime t;
  t.hl.keyAt(30.5, 27);
  t.hl.keyAt(40, krx::K_ENTER);  // "No", the answer the question offers first
  std::vector<std::pair<double, GameState>> seen;
  EXPECT_THROW(runMinutesGame(t, file,
                              [&](double now) {
                                seen.emplace_back(now, read(file));
                                if (now > 45) throw Killed{};
                              }),
               Killed);
  for (const auto& [now, s] : seen) {
    // The screen stood at 1:30 while the question was open; the level's end
    // stays where it was.
    EXPECT_EQ(s.asking, now >= 30.5 && now < 40) << now;
    if (s.asking) {
      EXPECT_EQ(s.secondsLeft, 90) << now;
    }
    EXPECT_NEAR(s.endsAt, kEpochAtStart + 120, 0.01) << now;
  }
}

TEST(StateWriter, AStructuresCopyGoesOnlyWithTheGamesStateAndNeverWithoutIt) {
  const Game game = Game::of({"", false, {entries::level(1, 2, 10), entries::level(2, 4, 10)}});
  const std::string copy(3000, '#');  // larger than any state
  struct Case {
    const char* why;
    bool played;     // the game's first state was recorded
    bool blocked;    // the copy's name is taken by a directory meanwhile
    long sizeLimit;  // bytes a file may grow to (0: any)
    bool kept;       // the state and its copy are on disk after
  };
  const Case cases[] = {
      {"a start that ends at its prompt leaves nothing", false, false, 0, false},
      {"the first state takes the copy with it", true, false, 0, true},
      {"a copy that cannot be written keeps the state back", true, true, 0, false},
      {"a disk with no room for the copy keeps nothing, and says so", true, false, 1000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TempCwd tmp;
    const fs::path file = tmp.path() / "potclock" / "game";
    TestRuntime t;
    std::string notice;
    {
      std::optional<FileSizeLimit> limit;
      if (c.sizeLimit > 0) limit.emplace(static_cast<rlim_t>(c.sizeLimit));
      StateWriter writer(file);
      writer.keepStructure(copy);
      if (c.blocked) fs::create_directory(file.parent_path() / "game.structure");
      if (c.played) writer.paused(game, 1, 300);
      notice = writer.notice();
    }
    EXPECT_EQ(fs::is_regular_file(file), c.kept);
    EXPECT_EQ(fs::is_regular_file(file.parent_path() / "game.structure"), c.kept);
    EXPECT_EQ(notice.empty(), c.kept || !c.played) << notice;
  }
}

TEST(StateWriter, ALevelThatRunsOutStartsTheNextInTheFile) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  TestRuntime t;
  std::optional<GameState> at130;
  EXPECT_THROW(runMinutesGame(t, file,
                              [&](double now) {
                                if (now >= 130 && !at130) at130 = read(file);
                                if (now >= 130) throw Killed{};
                              }),
               Killed);
  ASSERT_TRUE(at130.has_value());
  EXPECT_EQ(at130->nLevel, 6);
  EXPECT_NEAR(at130->endsAt, kEpochAtStart + 240, 0.01);
  EXPECT_TRUE(fs::exists(file));  // a killed game stays
}

TEST(StateWriter, IsWrittenAgainEachMinute) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  TestRuntime t;
  double goneAt = -1;
  double backAt = -1;
  EXPECT_THROW(runMinutesGame(t, file,
                              [&](double now) {
                                if (goneAt < 0 && now >= 5) {
                                  fs::remove(file);
                                  goneAt = now;
                                }
                                if (goneAt >= 0 && backAt < 0 && fs::exists(file)) backAt = now;
                                if (now >= 100) throw Killed{};
                              }),
               Killed);
  ASSERT_GE(backAt, 0);
  EXPECT_GT(backAt - goneAt, 50);
  EXPECT_LE(backAt - goneAt, 61);
}

TEST(StateWriter, TheLastLevelRunningOutEndsTheGameAndItsFile) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  TestRuntime t;
  bool existed = false;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen&) {
    existed = existed || fs::exists(file);
  };
  StateWriter writer(file);
  runTimer(62, 1, Mode::minutes, writer);
  EXPECT_TRUE(existed);
  EXPECT_FALSE(fs::exists(file));
}

TEST(StateWriter, AFailedWriteIsToldOnceAndTheClockGoesOn) {
  TempCwd tmp;
  std::ofstream(tmp.path() / "plain") << "not a directory";
  const fs::path file = tmp.path() / "plain" / "potclock" / "game";
  TestRuntime t;
  t.hl.keyAt(10.5, ' ');
  t.hl.keyAt(20.5, 'x');
  t.hl.keyAt(30.5, '+');
  StateWriter writer(file);
  runTimer(60, 1, Mode::minutes, writer);
  EXPECT_EQ(t.hl.errorText,
            "potclock: cannot keep the game in " + file.string() + ": Not a directory\n");
  // Levels 60 (skipped), 61, 62 and 63 ran to the end: three chimes.
  EXPECT_EQ(t.hl.tones.size(), 1u + 9u);
}

// --- Taking a game up again --------------------------------------------------

// Plays a 2-minute game from level 5 on a runtime started at 20:00:00 and
// kills it at `killAt` seconds, after `keys` were scripted.
void playAndKill(const fs::path& file, double killAt,
                 const std::function<void(krx::HeadlessBackend&)>& keys = {}) {
  TestRuntime t;
  if (keys) keys(t.hl);
  EXPECT_THROW(runMinutesGame(t, file,
                              [&](double now) {
                                if (now >= killAt) throw Killed{};
                              }),
               Killed);
}

// The remaining time shown at the first wait of a resumed game, and the
// screen then.
struct FirstScreen {
  std::string caption;
  std::string countdown;
  std::string labelRows;
  bool paused = false;
  std::size_t tones = 0;
};

// The same for a game started by `start` on a runtime at `wall`.
FirstScreen firstScreen(krx::LocalTime wall, const std::function<void()>& start) {
  TestRuntime t(wall);
  FirstScreen first;
  bool taken = false;
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    if (taken) return;
    taken = true;
    first.caption = caption(t);
    first.countdown = band(s, 15);
    first.labelRows = band(s, 6);
    first.paused = s.rowBytes(23).find("Press any key to resume") != std::string::npos;
    first.tones = hl.tones.size();
    throw Killed{};
  };
  EXPECT_THROW(start(), Killed);
  return first;
}

FirstScreen resumeAt(const fs::path& file, krx::LocalTime wall) {
  return firstScreen(wall, [&] { resumeGame(file); });
}

TEST(Resume, AKilledGameGoesOnWithTheTimeThatPassedMeanwhileWithoutAChime) {
  // Killed 30 s into level 5 (two minutes from 20:00:00), started again later.
  struct Case {
    krx::LocalTime wall;
    const char* level;
    const char* label;
    const char* left;
  };
  const Case cases[] = {
      // The level began at 20:00:00 and has 45 s left.
      {wallAt(20, 1, 15), " 5", "   7 / 14", "    0:45"},
      // Levels 5 (to 20:02) and 6 (to 20:04) are over; 7 has 50 s left.
      {wallAt(20, 5, 10), " 7", "  15 / 30", "    0:50"},
  };
  for (const Case& c : cases) {
    TempCwd tmp;
    const fs::path file = tmp.path() / "game";
    playAndKill(file, 30);
    const FirstScreen first = resumeAt(file, c.wall);
    EXPECT_EQ(
        first.caption,
        std::string(" S M A L L   B L I N D  /  B I G   B L I N D   (Level: ") + c.level + ")");
    EXPECT_EQ(first.labelRows, bandOf(c.label));
    EXPECT_EQ(first.countdown, bandOf(c.left));
    EXPECT_EQ(first.tones, 0u);
  }
}

TEST(Resume, APausedGameComesBackPausedWithItsTimeLeft) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  playAndKill(file, 50, [](krx::HeadlessBackend& hl) { hl.keyAt(20.5, ' '); });
  const FirstScreen first = resumeAt(file, wallAt(23, 0, 0));
  EXPECT_TRUE(first.paused);
  EXPECT_EQ(first.caption, " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  5)");

  // A key goes on from the 100 s that showed when Space was pressed.
  TestRuntime t(wallAt(23, 0, 0));
  t.hl.keyAt(30, 'x');
  std::optional<std::string> after;
  bool pausedSeen = false;
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
    pausedSeen = pausedSeen || band(s, 10) == bandOf("  PAUSED");
    if (hl.now() >= 30 && !after) {
      after = band(s, 15);
      throw Killed{};
    }
  };
  EXPECT_THROW(resumeGame(file), Killed);
  EXPECT_TRUE(pausedSeen);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(*after, bandOf("    1:40"));
}

TEST(Resume, AHandsGameIsKeptHandByHandAndComesBackAtItsHand) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  TestRuntime t;
  t.hl.keyAt(5, 'h');
  t.hl.keyAt(6, 'h');
  std::vector<GameState> seen;
  t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen&) {
    if (fs::exists(file) && (seen.empty() || !(seen.back() == read(file))))
      seen.push_back(read(file));
    if (hl.now() >= 20) throw Killed{};
  };
  StateWriter writer(file);
  EXPECT_THROW(runTimer(23, 5, Mode::hands, writer), Killed);
  ASSERT_EQ(seen.size(), 3u);
  for (int counted = 0; counted < 3; ++counted) {
    EXPECT_EQ(seen[counted].nLevel, 23);
    EXPECT_EQ(seen[counted].mode, Mode::hands);
    EXPECT_EQ(seen[counted].handsCounted, counted);
  }

  const FirstScreen first = resumeAt(file, wallAt(23, 0, 0));
  EXPECT_EQ(first.caption, " S M A L L   B L I N D  /  B I G   B L I N D   (Level: 23)");
  EXPECT_EQ(first.countdown, bandOf(" HAND: 3/5"));
}

TEST(Resume, TheGameIsReadOnceBeforeTheTerminalIsTakenAndGoesOnAsRead) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  playAndKill(file, 30);
  const auto loaded = loadSavedGame(file, kEpochAtStart + 75);
  ASSERT_TRUE(loaded.ok());
  std::ofstream(file) << "potclock-state 1\nlevel 99\n";  // not read again

  const FirstScreen first = firstScreen(
      wallAt(20, 1, 15), [&] { RESUME(loaded.value(), StateWriter::Writing::inForeground); });
  EXPECT_EQ(first.caption, " S M A L L   B L I N D  /  B I G   B L I N D   (Level:  5)");
  EXPECT_EQ(first.countdown, bandOf("    0:45"));
}

TEST(Resume, AGameWhoseLastLevelRanOutMeanwhileIsOver) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  GameState s;
  s.nLevel = 63;
  s.nPerLevel = 1;
  s.endsAt = kEpochAtStart - 1;
  ASSERT_TRUE(saveGameState(file, s).ok());

  EXPECT_EQ(resumeRefusal(file, kEpochAtStart), 0);
  EXPECT_FALSE(fs::exists(file));

  // Found over only once the runtime is up: said on standard error.
  ASSERT_TRUE(saveGameState(file, s).ok());
  TestRuntime t;
  resumeGame(file);
  EXPECT_EQ(t.hl.errorText,
            "potclock: the game is over: its last level ran out while the clock was closed\n");
  EXPECT_EQ(t.hl.presents, 0);
  EXPECT_EQ(krx::ERRORLEVEL(), 0);
  EXPECT_FALSE(fs::exists(file));
}

TEST(Resume, AFileThatCannotBeResumedIsKeptAsItIs) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  EXPECT_EQ(resumeRefusal(file, kEpochAtStart), 1);
  std::ofstream(file) << "potclock-state 1\nlevel 99\n";
  EXPECT_EQ(resumeRefusal(file, kEpochAtStart), 1);
  EXPECT_EQ(readFile(file), "potclock-state 1\nlevel 99\n");

  TestRuntime t;
  resumeGame(file);
  EXPECT_EQ(t.hl.errorText, "potclock: the saved game " + file.string() + " is damaged\n");
  EXPECT_EQ(krx::ERRORLEVEL(), 1);
  EXPECT_EQ(readFile(file), "potclock-state 1\nlevel 99\n");
}

}  // namespace
}  // namespace potclock

namespace potclock {
namespace {

// A structure with a [tournament] table: 1,000 chips for 10, the 20 % of
// the pool that a rebuy of 500 for 5 and an add-on bring shared 60/40.
Structure countedStructure() {
  Structure s{
      "", false, {entries::level(10, 20, 10), entries::pause(5), entries::level(20, 40, 10)}};
  s.numbers = NumbersRules{1000, 10, 500, 5, 2000, 10, 0, {6000, 4000}, 0, 0};
  return s;
}

TEST(StateWriter, AChangeOfTheCountAloneIsWrittenAtOnce) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "potclock" / "game";
  TestRuntime t;
  const Game game = Game::of(countedStructure());
  StateWriter writer(file);
  writer.count({5, 5, 0, 0});
  writer.running(game, 0, 300);
  const GameState first = read(file);
  EXPECT_EQ(first.count, (Count{5, 5, 0, 0}));
  // No time passes: only the count changes, and the level's end stands.
  writer.count({5, 4, 1, 0});
  const GameState second = read(file);
  EXPECT_EQ(second.count, (Count{5, 4, 1, 0}));
  EXPECT_EQ(second.endsAt, first.endsAt);
}

// A fresh game counts from the table's entries, all of them playing.
TEST(StateWriter, AFreshGameIsKeptWithTheEntriesItStartsWith) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  TestRuntime t;
  t.hl.onWait = [](krx::HeadlessBackend&, const krx::Screen&) { throw Killed{}; };
  Structure s = countedStructure();
  s.numbers->entries = 12;
  StateWriter writer(file);
  EXPECT_THROW(runGame(Game::of(s), writer, 0), Killed);
  EXPECT_EQ(read(file).count, (Count{12, 12, 0, 0}));
}

TEST(Resume, AGameWithACountComesBackWithIt) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "potclock" / "game";
  GameState saved;
  saved.structure = true;
  saved.nLevel = 2;  // the break
  saved.nPerLevel = 5;
  saved.paused = true;
  saved.secondsLeft = 120;
  saved.count = Count{6, 4, 2, 3};
  ASSERT_TRUE(saveGameState(file, saved).ok());
  std::ofstream(file.parent_path() / "game.structure") << formatStructure(countedStructure(), "");

  TestRuntime t;
  std::string numbers, prizes;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen& s) {
    numbers = s.rowBytes(3);
    prizes = s.rowBytes(6).substr(54) + s.rowBytes(7).substr(54);
    throw Killed{};
  };
  EXPECT_THROW(resumeGame(file), Killed);
  // 6,000 + 1,000 + 6,000 chips over 4 players is 3,250, or 81 of the next
  // level's big blinds of 40; 60 + 10 + 30 in the pool, paid 60 and 40.
  EXPECT_EQ(numbers.substr(0, 58), " Players 4/6   Avg 3,250 (81 BB)   Pool 100   Paid 2      ");
  EXPECT_EQ(prizes, "1st 60" + std::string(20, ' ') + "2nd 40" + std::string(20, ' '));
  EXPECT_EQ(read(file).count, saved.count);
}

}  // namespace
}  // namespace potclock
