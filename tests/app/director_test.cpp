#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/game/command.h"
#include "app/game/standing.h"
#include "support/structure_entries.h"

namespace potclock {
namespace {

using entries::level;
using entries::pause;

TEST(DirectorCommand, WordsReadAsTheDirectorMeansThem) {
  using K = Command::Kind;
  const struct {
    std::vector<std::string> words;
    K kind;
    long value;
  } good[] = {
      {{"bust"}, K::bust, 0},
      {{"add-on"}, K::addon, 0},
      {{"players", "37"}, K::players, 37},
      {{"time", "+1m"}, K::timeBy, 60},
      {{"time", "-30s"}, K::timeBy, -30},
      {{"time", "+1m30s"}, K::timeBy, 90},
      {{"time", "12:30"}, K::timeTo, 750},
      {{"time", "1:02:03"}, K::timeTo, 3723},
      {{"time", "2h"}, K::timeTo, 7200},
      {{"level", "7"}, K::level, 7},
      {{"break", "2"}, K::breakAt, 2},
      {{"resume"}, K::resume, 0},
  };
  for (const auto& c : good) {
    const auto parsed = parseCommand(c.words);
    ASSERT_TRUE(parsed.ok()) << c.words[0] << ": " << parsed.failure();
    EXPECT_EQ(parsed.value(), (Command{c.kind, c.value})) << c.words[0];
  }
  // Each refused with a line that names what is wrong.
  const struct {
    std::vector<std::string> words;
    const char* says;
  } bad[] = {
      {{}, "no command"},
      {{"kick"}, "unknown command 'kick'"},
      {{"bust", "2"}, "takes nothing"},
      {{"players"}, "takes one number"},
      {{"players", "-3"}, "no number"},
      {{"level", "7x"}, "no number"},
      {{"time", "5"}, "is no time"},
      {{"time", "12:3"}, "is no time"},
      {{"time", "12:60"}, "is no time"},
      {{"time", "+0s"}, "changes nothing"},
      {{"time", "25h"}, "a day at most"},
      {{"time", "1m", "2s"}, "one correction"},
  };
  for (const auto& c : bad) {
    const auto parsed = parseCommand(c.words);
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.failure().find(c.says), std::string::npos) << parsed.failure();
  }
  EXPECT_EQ(commandWords("time  +1m "), (std::vector<std::string>{"time", "+1m"}));
}

// Levels 1 and 2, the break, level 3.
Game friday() {
  return Game::of(
      {"Friday",
       false,
       {level(25, 50, 20), level(50, 100, 20), pause(15, "Coffee"), level(100, 200, 20)}});
}

TEST(DirectorCommand, CorrectionsMoveTheTimeLeftAndNoFurther) {
  const Game game = friday();
  const Standing running{1, 600.4, false, 0, 0, true};
  const struct {
    std::vector<std::string> words;
    double left;
    long corrected;
    const char* answer;
  } cases[] = {
      {{"time", "+1m"}, 660.4, 60, "level 2 has 11:00 left (+1:00)"},
      {{"time", "-30s"}, 570.4, -30, "level 2 has 9:30 left (-0:30)"},
      {{"time", "12:30"}, 750, 150, "level 2 has 12:30 left (+2:30)"},
      {{"time", "0:01"}, 1, -599, "level 2 has 0:01 left (-9:59)"},
  };
  for (const auto& c : cases) {
    const auto change = applyCommand(game, running, parseCommand(c.words).value());
    ASSERT_TRUE(change.ok()) << change.failure();
    EXPECT_DOUBLE_EQ(change.value().standing.left, c.left) << c.answer;
    EXPECT_EQ(change.value().standing.corrected, c.corrected) << c.answer;
    EXPECT_EQ(change.value().answer, c.answer);
    EXPECT_FALSE(change.value().jumped);
  }
  // Time that is not there cannot be taken; a level ends by a jump.
  const auto tooMuch = applyCommand(game, running, {Command::Kind::timeBy, -601});
  ASSERT_FALSE(tooMuch.ok());
  EXPECT_NE(tooMuch.failure().find("10:00 left"), std::string::npos);
  // Paused, the frozen time moves and the clock stays paused.
  const auto paused = applyCommand(game, {1, 600, true, 0, 0, true}, {Command::Kind::timeBy, 60});
  ASSERT_TRUE(paused.ok());
  EXPECT_TRUE(paused.value().standing.paused);
  EXPECT_EQ(paused.value().answer, "level 2 has 11:00 left (+1:00), paused");
}

TEST(DirectorCommand, JumpsPausesAndWhatIsRefused) {
  const Game game = friday();
  const Standing running{0, 300, false, 45, 0, true};
  const auto jump = [&](Command::Kind kind, long n) {
    return applyCommand(game, running, {kind, n});
  };
  // Level 3 is the fourth entry: the break is not counted among the levels.
  ASSERT_TRUE(jump(Command::Kind::level, 3).ok());
  EXPECT_EQ(jump(Command::Kind::level, 3).value().standing.index, 3);
  EXPECT_EQ(jump(Command::Kind::level, 3).value().standing.corrected, 0);
  EXPECT_TRUE(jump(Command::Kind::level, 3).value().jumped);
  EXPECT_EQ(jump(Command::Kind::breakAt, 1).value().standing.index, 2);
  EXPECT_EQ(jump(Command::Kind::breakAt, 1).value().answer, "the break begins: 15 minutes");
  EXPECT_EQ(jump(Command::Kind::level, 4).failure(), "this structure has levels 1 to 3");
  EXPECT_EQ(jump(Command::Kind::level, 0).failure(), "this structure has levels 1 to 3");
  EXPECT_EQ(applyCommand(Game::builtIn(20, Mode::minutes), running, {Command::Kind::breakAt, 1})
                .failure(),
            "the built-in levels have no breaks");
  EXPECT_EQ(
      applyCommand(Game::builtIn(20, Mode::minutes), running, {Command::Kind::level, 64}).failure(),
      "the built-in levels run from 1 to 63");

  const auto paused = jump(Command::Kind::pause, 0);
  ASSERT_TRUE(paused.ok());
  EXPECT_TRUE(paused.value().standing.paused);
  EXPECT_EQ(paused.value().answer, "level 1 paused at 5:00");
  EXPECT_FALSE(jump(Command::Kind::resume, 0).ok());
  EXPECT_FALSE(applyCommand(game, paused.value().standing, {Command::Kind::pause, 0}).ok());
  EXPECT_TRUE(applyCommand(game, paused.value().standing, {Command::Kind::resume, 0}).ok());

  // A level of hands has no time to correct; a game not begun only begins.
  const Game hands = Game::of({"", true, {level(25, 50, 8)}});
  EXPECT_EQ(applyCommand(hands, {}, {Command::Kind::pause, 0}).failure(),
            "level 1 counts hands, not time");
  Standing before = running;
  before.started = false;
  EXPECT_FALSE(applyCommand(game, before, {Command::Kind::timeBy, 60}).ok());
  EXPECT_TRUE(applyCommand(game, before, {Command::Kind::level, 1}).ok());
}

TEST(DirectorCommand, APlannedStartStandsUntilItsMomentAndNotAfter) {
  // Minutes and hands alike: before the moment the game waits whole; after
  // it, it has begun.
  for (const Game& game : {friday(), Game::of({"", true, {level(25, 50, 8)}})}) {
    Within planned;
    planned.startsAt = 1000;
    const auto before = game.standingAt(0, planned, 1000 + game.lengthSeconds(0), 990);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(before->within.startsAt, 1000);
    const auto after = game.standingAt(0, planned, 1000 + game.lengthSeconds(0), 1010);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->within.startsAt, 0);
    EXPECT_EQ(after->index, 0);
  }
  EXPECT_DOUBLE_EQ(
      friday().standingAt(0, Within{0, false, 0, 0, 1000}, 2200, 990)->within.secondsLeft, 1200);
}

}  // namespace
}  // namespace potclock
