// A game that outlives its window, and the command line around it: the real
// program killed in a pseudo-terminal and started again with --resume, its
// state directory a fresh temporary one for each test; and the answers it
// gives without a terminal (help, version, usage, a game it cannot resume).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using e2e::answerManual;
using e2e::CountdownReader;
using e2e::keyInHandWait;
using e2e::kWait;
using e2e::Launch;
using e2e::quitWithYes;
using e2e::Ran;
using e2e::runPlain;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;
using e2e::waitBig;
using e2e::wallNow;
const std::string kLevel = "B L I N D   (Level: ";
const std::string kTimeHeading = "T I M E    R E M A I N I N G";
const std::string kPaused = "Press any key to resume";

Launch potclock(const StateHome& home, std::vector<std::string> args = {}) {
  return e2e::potclockIn(home, std::move(args));
}

// A game of two-minute levels from level 42 ("1-Club"), counting down.
void startMinutesGame(VtermPty& term) {
  answerManual(term, "42", "2", 'M');
  ASSERT_TRUE(shows(term, "Press any key to start timer "));
  term.sendKeys("s");
  ASSERT_TRUE(shows(term, kTimeHeading));
}

// A minutes game saved as running, its level ending `fromNow` seconds from
// now (negative: in the past).
void writeRunning(const StateHome& home, int level, int perLevel, double fromNow) {
  char endsAt[32];
  std::snprintf(endsAt, sizeof endsAt, "%.3f", wallNow() + fromNow);
  home.write("potclock-state 1\nlevel " + std::to_string(level) + "\nper-level " +
             std::to_string(perLevel) + "\nmode M\nends-at " + endsAt + "\n");
}

std::string screenRowText(const VtermPty& term, int row) {
  return e2e::screenRow(term, row);
}

void killHard(VtermPty& term) {
  term.kill(SIGKILL);
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

// --- Without a terminal --------------------------------------------------------

// As the standard tools do: the reason on standard error, and status 1.
TEST(CommandLineE2E, AnAnswerThatCannotBeWrittenSaysSo) {
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int full = ::open("/dev/full", O_WRONLY);
    ::dup2(full, STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execl(POTCLOCK_BIN, POTCLOCK_BIN, "--help", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(err[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(text, "potclock: write error: No space left on device\n");
}

TEST(CommandLineE2E, HelpVersionAndUsageNeedNoTerminal) {
  const Ran help = runPlain({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: potclock", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("--resume"), std::string::npos);
  EXPECT_NE(help.out.find("-h, --help"), std::string::npos) << help.out;

  const Ran version = runPlain({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("potclock ", 0), 0u) << version.out;
  EXPECT_NE(version.out.find("runtime 1.82.3"), std::string::npos) << version.out;

  const Ran wrong = runPlain({"--colour"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err.rfind("potclock: unknown option '--colour'\nUsage: potclock", 0), 0u)
      << wrong.err;
}

TEST(ResumeE2E, AGameThatCannotBeResumedIsRefusedInOneLineAndKept) {
  StateHome home;
  const Ran none = runPlain({"--resume"}, {home.env()});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "potclock: there is no game to resume\n");
  EXPECT_EQ(none.out, "");
  EXPECT_FALSE(fs::exists(home.file()));

  const std::string name = home.file().string();
  struct Case {
    const char* why;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"damaged", "potclock-state 1\nlevel 5\nper-level", "the saved game " + name + " is damaged"},
      {"an empty file", "", "the saved game " + name + " is damaged"},
      {"from a newer version", "potclock-state 3\nlevel 5\n",
       "the saved game " + name + " was written by a newer version of potclock"},
  };
  for (const Case& c : cases) {
    home.write(c.text);
    const Ran ran = runPlain({"--resume"}, {home.env()});
    EXPECT_EQ(ran.status, 1) << c.why;
    EXPECT_EQ(ran.err, "potclock: " + c.message + "\n") << c.why;
    EXPECT_EQ(home.text(), c.text) << c.why;
  }

  // Unreadable: something other than a file in its place.
  fs::remove(home.file());
  fs::create_directory(home.file());
  const Ran unreadable = runPlain({"--resume"}, {home.env()});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.err,
            "potclock: cannot read the saved game " + name + ": not a regular file\n");
  EXPECT_TRUE(fs::is_directory(home.file()));
}

TEST(ResumeE2E, AGameWhoseLastLevelRanOutMeanwhileIsOver) {
  StateHome home;
  writeRunning(home, 63, 1, -61);
  const Ran ran = runPlain({"--resume"}, {home.env()});
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.err,
            "potclock: the game is over: its last level ran out while the clock was closed\n");
  EXPECT_FALSE(fs::exists(home.file()));
}

// --- In the terminal -------------------------------------------------------------

// The end of the level on the wall clock, as the game file keeps it.
std::optional<double> savedLevelEnd(const StateHome& home) {
  const std::string text = home.text();
  const auto at = text.find("\nends-at ");
  if (at == std::string::npos) return std::nullopt;
  return std::strtod(text.c_str() + at + 9, nullptr);
}

// The countdown, read the moment it changed, shows the time left until
// `levelEnd` to within a second. It was drawn at some moment between the
// last look that still saw the value before it and the look that saw it,
// so the true time left then lies between the two times left below. The
// clock shows it rounded to whole seconds: one that keeps `levelEnd`
// exactly is off by half a second at most, well inside the second a game
// may be off after a restart.
::testing::AssertionResult showsTimeLeftUntil(const CountdownReader::Change& shown,
                                              double levelEnd) {
  const double leftAtFirstLook = levelEnd - shown.notBefore;
  const double leftWhenSeen = levelEnd - shown.seenAt;
  if (shown.value <= leftAtFirstLook + 1.0 && shown.value >= leftWhenSeen - 1.0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << shown.value << " s shown, drawn while between " << leftAtFirstLook << " and "
         << leftWhenSeen << " s were left";
}

TEST(ResumeE2E, AGameKilledDuringTheCountdownGoesOnWhereItsClockIs) {
  StateHome home;
  const CountdownReader clock(90, 120);
  std::optional<double> levelEnd;
  {
    VtermPty term(potclock(home));
    startMinutesGame(term);
    ASSERT_TRUE(term.waitUntil([&] { return fs::exists(home.file()); }, kWait));
    ASSERT_TRUE(clock.waitChange(term, std::nullopt).has_value()) << term.screenText();
    const auto before = clock.timedChange(term);
    ASSERT_TRUE(before.has_value()) << term.screenText();
    killHard(term);
    // The end the game kept is the one the players were counting down to.
    levelEnd = savedLevelEnd(home);
    ASSERT_TRUE(levelEnd.has_value()) << home.text();
    EXPECT_TRUE(showsTimeLeftUntil(*before, *levelEnd)) << "before the kill";
  }
  // Some time with no clock on the screen.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));

  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, kTimeHeading));
  EXPECT_NE(term.screenText().find(kLevel + " 1-Club)"), std::string::npos) << term.screenText();
  EXPECT_TRUE(waitBig(term, 6, "  10 / 20"));
  const auto after = clock.timedChange(term);
  ASSERT_TRUE(after.has_value()) << term.screenText();
  EXPECT_TRUE(showsTimeLeftUntil(*after, *levelEnd)) << "after --resume";

  // "Yes" to the quit question ends the game and its file.
  quitWithYes(term);
  EXPECT_FALSE(fs::exists(home.file()));
}

TEST(ResumeE2E, LevelsThatEndedWhileClosedArePassedWithoutAChime) {
  StateHome home;
  // Level 5 of one-minute levels ended 90 s ago: level 6 ran out 30 s ago,
  // level 7 has 30 s left.
  writeRunning(home, 5, 1, -90);
  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, kTimeHeading));
  EXPECT_NE(term.screenText().find(kLevel + " 7)"), std::string::npos) << term.screenText();
  EXPECT_TRUE(waitBig(term, 6, "  15 / 30"));
  const auto shown = CountdownReader(25, 30).waitChange(term, std::nullopt);
  ASSERT_TRUE(shown.has_value()) << term.screenText();
  EXPECT_GE(*shown, 27);
  // Without a sound device the chime rings as bells on the terminal, which
  // the test can count. With one, the chime goes to the device, out of the
  // test's hearing: on such a machine this test does not check the silence,
  // only the level and the time left.
  if (!e2e::haveSoundDevice()) {
    EXPECT_EQ(term.bells(), 0);
  }
  quitWithYes(term);
}

TEST(ResumeE2E, APausedGameComesBackPaused) {
  StateHome home;
  const CountdownReader clock(90, 120);
  int frozen = 0;
  {
    VtermPty term(potclock(home));
    startMinutesGame(term);
    const auto shown = clock.waitChange(term, clock.waitChange(term, std::nullopt));
    ASSERT_TRUE(shown.has_value()) << term.screenText();
    frozen = *shown;
    term.sendKeys(" ");
    ASSERT_TRUE(shows(term, kPaused));
    ASSERT_TRUE(term.waitUntil(
        [&] {
          return home.text().find("paused-left " + std::to_string(frozen)) != std::string::npos;
        },
        kWait))
        << home.text();
    killHard(term);
  }

  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, kPaused));
  EXPECT_TRUE(waitBig(term, 10, "  PAUSED"));
  EXPECT_NE(term.screenText().find(kLevel + " 1-Club)"), std::string::npos);
  // Paused, the clock does not move; a key goes on from the frozen value.
  term.pump(1.5);
  EXPECT_NE(term.screenText().find(kPaused), std::string::npos);
  term.sendKeys("x");
  ASSERT_TRUE(term.waitUntil(
      [&] { return term.screenText().find(kPaused) == std::string::npos && clock.read(term); },
      kWait))
      << term.screenText();
  EXPECT_EQ(clock.read(term), frozen);
  quitWithYes(term);
}

TEST(ResumeE2E, AHandsGameComesBackAtItsHand) {
  StateHome home;
  {
    VtermPty term(potclock(home));
    answerManual(term, "23", "5", 'H');
    ASSERT_TRUE(waitBig(term, 15, " HAND: 1/5"));
    for (const char* hand : {" HAND: 2/5", " HAND: 3/5"}) {
      keyInHandWait(term, "h");
      ASSERT_TRUE(waitBig(term, 15, hand));
    }
    ASSERT_TRUE(term.waitUntil(
        [&] { return home.text().find("hands-counted 2") != std::string::npos; }, kWait));
    killHard(term);
  }
  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, "P R E S S   A   K E Y"));
  EXPECT_NE(term.screenText().find(kLevel + "23)"), std::string::npos) << term.screenText();
  EXPECT_TRUE(waitBig(term, 15, " HAND: 3/5"));
  quitWithYes(term);
}

// The organiser learns before the game runs that it cannot be kept (on the
// dialogue's first screen, and on the timer's), the clock runs regardless,
// and the reason is told once more after the terminal is back, even when the
// refusal is a file-size limit that standard error's keeping meets as well.
TEST(ResumeE2E, AStateThatCannotBeWrittenIsShownAtOnceAndToldOnceAfterTheTerminalIsBack) {
  struct Case {
    const char* why;
    bool sizeLimit;
    std::string reason;
  };
  for (const Case& c : {Case{"a file where the directory should be", false, "Not a directory"},
                        Case{"no file may grow", true, "File too large"}}) {
    SCOPED_TRACE(c.why);
    StateHome home;
    fs::path dir = home.dir();
    if (c.sizeLimit) {
      fs::create_directory(home.dir() / "potclock");
    } else {
      std::ofstream(home.dir() / "plain") << "a file where a directory should be";
      dir = home.dir() / "plain";
    }
    Launch launch = potclock(home);
    launch.env = {"XDG_STATE_HOME=" + dir.string()};
    if (c.sizeLimit) launch.argv = {"/bin/sh", "-c", "ulimit -f 0; exec \"$0\"", POTCLOCK_BIN};
    VtermPty term(launch);
    const std::string notice = "Not kept: " + c.reason;
    ASSERT_TRUE(shows(term, "Select: C(omputed"));
    EXPECT_EQ(screenRowText(term, 24).find(notice), 0u) << term.screenText();
    startMinutesGame(term);
    const CountdownReader clock(90, 120);
    const auto first = clock.waitChange(term, std::nullopt);
    ASSERT_TRUE(first.has_value()) << term.screenText();
    ASSERT_TRUE(clock.waitChange(term, first).has_value()) << term.screenText();
    EXPECT_EQ(screenRowText(term, 24).find(notice), 0u) << term.screenText();
    quitWithYes(term);
    // The message may wrap at the right edge: the rows read as one text.
    std::string screen = term.screenText();
    std::erase(screen, '\n');
    const std::string message = "potclock: cannot keep the game in " +
                                (dir / "potclock" / "game").string() + ": " + c.reason;
    const auto at = screen.find(message);
    EXPECT_NE(at, std::string::npos) << screen;
    EXPECT_EQ(screen.find(message, at + 1), std::string::npos) << screen;
  }
}

}  // namespace

namespace {

bool quitQuestionGone(const VtermPty& term) {
  return term.screenText().find("Quit PotClock?") == std::string::npos;
}

// Escape answers the quit question as "No" does: the question closes, the
// clock runs on, and the game is still kept.
TEST(ResumeE2E, EscapeAtTheQuitQuestionGoesOnWithTheGameKept) {
  StateHome home;
  VtermPty term(potclock(home));
  startMinutesGame(term);
  ASSERT_TRUE(term.waitUntil([&] { return fs::exists(home.file()); }, kWait));
  const CountdownReader clock(90, 120);
  term.sendKeys("\x1b");
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  term.sendKeys("\x1b");
  ASSERT_TRUE(term.waitUntil([&] { return quitQuestionGone(term); }, kWait)) << term.screenText();
  const auto first = clock.waitChange(term, std::nullopt);
  ASSERT_TRUE(first.has_value()) << term.screenText();
  const auto next = clock.waitChange(term, first);
  ASSERT_TRUE(next.has_value()) << term.screenText();
  EXPECT_LT(*next, *first);
  EXPECT_NE(home.text().find("\nlevel 42\n"), std::string::npos) << home.text();
  quitWithYes(term);
  EXPECT_FALSE(fs::exists(home.file()));
}

// A running game taken up again goes on through its next level change as
// any game does: the next level starts running, not paused, with the chime.
TEST(ResumeE2E, AResumedGameRunsIntoItsNextLevelWithTheChime) {
  StateHome home;
  writeRunning(home, 5, 1, 6);
  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, kLevel + " 5)"));
  EXPECT_EQ(term.bells(), 0);
  ASSERT_TRUE(shows(term, kLevel + " 6)", 10));
  const CountdownReader clock(50, 60);
  const auto first = clock.waitChange(term, std::nullopt);
  ASSERT_TRUE(first.has_value()) << term.screenText();
  const auto next = clock.waitChange(term, first);
  ASSERT_TRUE(next.has_value()) << term.screenText();
  EXPECT_LT(*next, *first);
  EXPECT_EQ(term.screenText().find(kPaused), std::string::npos) << term.screenText();
  // The chime rings as three bells without a sound device (see above).
  if (!e2e::haveSoundDevice()) {
    EXPECT_EQ(term.bells(), 3);
  }
  quitWithYes(term);
}

// A disk that takes seconds to flush (every fsync made to wait by a library
// preloaded into the program) delays only the game's file: the screen shows,
// keys act, SIGTERM ends the program within the second it promises, and the
// file half-written then is never renamed over the game.
TEST(ResumeE2E, ASlowDiskHoldsNeitherTheScreenNorTheKeysNorTheWayOut) {
  StateHome home;
  writeRunning(home, 5, 2, 100);
  const std::string saved = home.text();
  Launch launch = potclock(home, {"--resume"});
  launch.env.push_back("LD_PRELOAD=" SLOWSYNC_LIB);
  launch.env.push_back("SLOW_SYNC_SECONDS=10");
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer's runtime wants to come first; the library only adds two
  // functions it does not take over.
  launch.env.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
#endif
  VtermPty term(launch);
  // kWait is well short of the disk's ten seconds.
  ASSERT_TRUE(shows(term, kTimeHeading));
  const auto writing = [&] {
    for (const auto& entry : fs::directory_iterator(home.file().parent_path()))
      if (entry.path().filename() != "game") return true;
    return false;
  };
  ASSERT_TRUE(term.waitUntil(writing, kWait)) << "no write under way";
  term.sendKeys(" ");
  ASSERT_TRUE(shows(term, kPaused));

  term.kill(SIGTERM);
  const auto asked = std::chrono::steady_clock::now();
  const int status = term.waitExitUnread(kWait);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - asked;
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  EXPECT_LT(took.count(), 1.0);
  EXPECT_EQ(home.text(), saved);
}

}  // namespace
