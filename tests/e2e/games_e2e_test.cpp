// One clock per game, and games of their own names, on the real program: a
// second clock runs without keeping the game (and --resume of it is turned
// away before it takes the terminal), named games run side by side, and a
// clock killed outright leaves nothing that blocks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

namespace {

namespace fs = std::filesystem;
using e2e::kWait;
using e2e::Ran;
using e2e::runPlain;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;

const std::string kHandHeading = "P R E S S   A   K E Y   F O R   N E X T   H A N D";

fs::path gameFile(const StateHome& home, const std::string& name) {
  return home.dir() / "potclock" / name;
}

std::vector<std::string> withGame(const std::string& game, std::vector<std::string> args = {}) {
  if (!game.empty()) args.insert(args.begin(), {"--game", game});
  return args;
}

// A hands game from `level`, its first state kept in `file`.
void startHandsGame(VtermPty& term, const std::string& level, const fs::path& file) {
  e2e::answerManual(term, level, "5", 'H');
  ASSERT_TRUE(shows(term, kHandHeading));
  ASSERT_TRUE(term.waitUntil([&] { return fs::exists(file); }, kWait));
}

std::string refusal(VtermPty& clock, const std::string& game) {
  const std::string watch = game.empty() ? "potclock --watch" : "potclock --watch --game " + game;
  return "potclock: this game is running in another potclock (process " +
         std::to_string(clock.pid()) + "); " + watch + " shows it\n";
}

TEST(OneClockPerGameE2E, ASecondClockRunsWithoutKeepingTheGameAndItsResumeIsTurnedAway) {
  for (const std::string game : {"", "main-event"}) {
    SCOPED_TRACE(game);
    StateHome home;
    const fs::path file = gameFile(home, game.empty() ? "game" : "game-" + game);
    VtermPty clock(e2e::potclockIn(home, withGame(game)));
    startHandsGame(clock, "42", file);
    const auto before = fs::last_write_time(file);
    // --resume with no terminal at all: the refusal comes before the
    // terminal is looked at.
    const Ran resumed = runPlain(withGame(game, {"--resume"}), {home.env()});
    EXPECT_EQ(resumed.status, 1);
    EXPECT_EQ(resumed.err, refusal(clock, game));
    EXPECT_EQ(resumed.out, "");
    // A plain second clock shows its dialogue as ever, says on its bottom
    // row that it does not keep the game, and leaves the game alone.
    VtermPty second(e2e::potclockIn(home, withGame(game)));
    ASSERT_TRUE(shows(second, "Select: C(omputed"));
    EXPECT_EQ(e2e::screenRow(second, 24)
                  .rfind("Not kept: potclock " + std::to_string(clock.pid()) +
                             " keeps this game (--game NAME keeps one of its own)",
                         0),
              0u)
        << second.screenText();
    e2e::answerManual(second, "1", "5", 'H');
    ASSERT_TRUE(shows(second, kHandHeading));
    e2e::quitWithYes(second);
    EXPECT_NE(second.screenText().find("this game is running in another potclock"),
              std::string::npos);
    EXPECT_EQ(fs::last_write_time(file), before);
    // The first clock goes on, its game still its own.
    e2e::quitWithYes(clock);
    EXPECT_FALSE(fs::exists(file));
  }
}

TEST(OneClockPerGameE2E, NamedGamesRunSideBySide) {
  StateHome home;
  const fs::path plain = gameFile(home, "game");
  const fs::path satellite = gameFile(home, "game-sat_1");
  VtermPty first(e2e::potclockIn(home));
  startHandsGame(first, "42", plain);
  VtermPty second(e2e::potclockIn(home, {"--game", "sat_1"}));
  startHandsGame(second, "25", satellite);
  EXPECT_TRUE(shows(first, "(Level:  1-Club)"));
  EXPECT_TRUE(shows(second, "(Level:  1-Fast)"));

  // "Yes" in one game ends that game's file only.
  e2e::quitWithYes(second);
  EXPECT_FALSE(fs::exists(satellite));
  EXPECT_TRUE(fs::exists(plain));
  const Ran resumed = runPlain({"--game", "sat_1", "--resume"}, {home.env()});
  EXPECT_EQ(resumed.err, "potclock: there is no game to resume\n");
  e2e::quitWithYes(first);
}

TEST(OneClockPerGameE2E, AClockKilledOutrightBlocksNoNextStart) {
  StateHome home;
  {
    VtermPty clock(e2e::potclockIn(home));
    startHandsGame(clock, "42", home.file());
    clock.kill(SIGKILL);
    ASSERT_NE(clock.waitExit(kWait), -1);
  }
  VtermPty next(e2e::potclockIn(home, {"--resume"}));
  EXPECT_TRUE(shows(next, kHandHeading));
  e2e::quitWithYes(next);
}

TEST(OneClockPerGameE2E, AGameNameIsShortAndPlain) {
  for (const std::string& name :
       std::vector<std::string>{"", "a b", "../x", "x.y", "caf\xc3\xa9", std::string(33, 'n')}) {
    const Ran ran = runPlain({"--game", name});
    EXPECT_EQ(ran.status, 2) << name;
    EXPECT_EQ(ran.err.rfind("potclock: '" + name +
                                "' cannot name a game: use 1 to 32 letters, digits, '-' and '_'\n",
                            0),
              0u)
        << ran.err;
  }
}

}  // namespace
