// The terminal backend as a user meets it: a real binary in a pseudo-
// terminal, its screen read back through a terminal emulator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "harness/vterm_pty.h"

namespace {

using e2e::Launch;
using e2e::VtermPty;

const std::string kDemo = std::string(E2E_BIN_DIR) + "/console_demo";

Launch demo(int rows = 25, int cols = 80) {
  Launch launch;
  launch.argv = {kDemo};
  launch.rows = rows;
  launch.cols = cols;
  return launch;
}

// Crashes on purpose must not leave core files behind.
struct NoCoreFiles : ::testing::Test {
  void SetUp() override {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
  }
};

using ConsoleE2E = NoCoreFiles;

VtermPty::Colour palette(int index) {
  return VtermPty::Colour{false, index};
}

// Sends a key and waits until the demo shows the code it decoded.
::testing::AssertionResult keyShows(VtermPty& term, const std::string& bytes, int code) {
  term.sendKeys(bytes);
  const std::string want = "KEY: " + std::to_string(code) + " ";
  if (term.waitUntil([&] { return term.rowText(5).starts_with(want); }, 3.0)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "sent " << ::testing::PrintToString(bytes) << ", screen has \"" << term.rowText(5)
         << "\", wanted " << want;
}

TEST_F(ConsoleE2E, DrawsBlockCharactersAndColours) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5)) << term.screenText();
  ASSERT_TRUE(term.settle(5));  // the rows below READY too
  EXPECT_TRUE(term.altScreen());
  EXPECT_EQ(term.rowText(0).substr(0, 12), "CONSOLE DEMO");
  EXPECT_EQ(term.cellText(2, 0), "▒");
  EXPECT_EQ(term.cellText(2, 1), "█");
  EXPECT_EQ(term.cellText(2, 2), "▄");
  EXPECT_EQ(term.cellText(2, 3), "▀");
  EXPECT_EQ(term.cellText(2, 4), "■");
  // W+/B: bright white on blue; GR+/R: yellow on red; G/N: green on black.
  EXPECT_EQ(term.foreground(0, 0), palette(15));
  EXPECT_EQ(term.background(0, 0), palette(4));
  EXPECT_EQ(term.foreground(2, 0), palette(11));
  EXPECT_EQ(term.background(2, 0), palette(1));
  EXPECT_EQ(term.foreground(3, 0), palette(2));
  EXPECT_EQ(term.background(3, 0), palette(0));
  // Blank cells keep the colour they were cleared with.
  EXPECT_EQ(term.background(24, 79), palette(4));
  EXPECT_FALSE(term.cursorVisible());
}

TEST_F(ConsoleE2E, DecodesKeysAndEndsRestored) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  EXPECT_TRUE(keyShows(term, "\x1b[A", 5));
  EXPECT_TRUE(keyShows(term, "\x1bOB", 24));  // keypad-transmit form
  EXPECT_TRUE(keyShows(term, "\x1b[D", 19));
  EXPECT_TRUE(keyShows(term, "\x1b[C", 4));
  EXPECT_TRUE(keyShows(term, "\x1b[1;5D", 26));
  EXPECT_TRUE(keyShows(term, "\x1b[1;5H", 29));
  EXPECT_TRUE(keyShows(term, "\x1b[5~", 18));
  EXPECT_TRUE(keyShows(term, "\x1b[3~", 7));
  EXPECT_TRUE(keyShows(term, "\x1b[Z", 271));
  // Alt-Enter is the runtime's size key: the program never receives it.
  term.sendKeys("\x1b\r");
  EXPECT_TRUE(keyShows(term, "\r", 13));
  EXPECT_NE(term.rowText(6).find(" 271 13 "), std::string::npos) << term.rowText(6);
  EXPECT_TRUE(keyShows(term, "\x7f", 8));
  EXPECT_TRUE(keyShows(term, "\x08", 127));
  EXPECT_TRUE(keyShows(term, "\x13", 19));       // Ctrl-S is a key, not flow control
  EXPECT_TRUE(keyShows(term, "\xc3\xa9", 130));  // typed é is its code page byte

  // A lone Escape counts at once, not after a second-long guess.
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_TRUE(keyShows(term, "\x1b", 27));
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(500));

  term.sendKeys("q");
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(term.restored()) << "alt " << term.altScreen() << " cursor " << term.cursorVisible();
  EXPECT_EQ(term.screenText().find("CONSOLE DEMO"), std::string::npos);
}

TEST_F(ConsoleE2E, TerminatingSignalsRestoreAndKeepTheirStatus) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    VtermPty term(demo());
    ASSERT_TRUE(term.waitForText("READY", 5));
    term.kill(sig);
    const int status = term.waitExit(5);
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << sig << " status " << status;
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_TRUE(term.restored()) << "signal " << sig;
  }
}

TEST_F(ConsoleE2E, SecondSignalEndsABusyProgramAtOnce) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("b");
  ASSERT_TRUE(term.waitForText("BUSY", 5));  // shown once it has left its wait
  term.kill(SIGINT);
  term.pump(0.2);
  EXPECT_EQ(term.waitExit(0.1), -1);  // the first waits for the program to wait
  term.kill(SIGINT);
  const int status = term.waitExit(3);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_TRUE(term.restored());
}

TEST_F(ConsoleE2E, CrashRestoresAndStillCrashes) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("c");
  const int status = term.waitExit(5);
  EXPECT_TRUE(term.restored());
#ifdef __SANITIZE_ADDRESS__
  // The sanitizer's own handler, kept in place, reports the crash and exits.
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_NE(term.screenText().find("SEGV"), std::string::npos) << term.screenText();
#else
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
#endif
}

TEST_F(ConsoleE2E, QuitKeepsExitCodeAndReplaysStandardError) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("s");
  ASSERT_TRUE(term.waitForText("STDERR WRITTEN", 5));
  // Not on the program's screen while it runs...
  EXPECT_EQ(term.screenText().find("a message on standard error"), std::string::npos);
  term.sendKeys("e");
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_TRUE(term.restored());
  // ...but there once the terminal is back.
  EXPECT_NE(term.screenText().find("a message on standard error"), std::string::npos)
      << term.screenText();
}

TEST_F(ConsoleE2E, AForeignFailureEndsRestoredWithCodeOneAndAMessage) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("f");
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;  // not an abort
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(term.restored());
  EXPECT_NE(term.screenText().find("std::bad_alloc"), std::string::npos) << term.screenText();
}

// Waiting on a descriptor closed meanwhile would end each wait at once, for
// as long as the program waits: it is an error instead.
TEST_F(ConsoleE2E, AClosedDescriptorToWakeOnIsAnErrorNotASpin) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("w");
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(term.screenText().find("Descriptor to wake on is not open"), std::string::npos)
      << term.screenText();
}

TEST_F(ConsoleE2E, CentresInALargerTerminalAndAsksForRoomInASmallerOne) {
  VtermPty term(demo(31, 100));
  ASSERT_TRUE(term.waitForText("READY", 5));
  EXPECT_EQ(term.rowText(3).substr(10, 12), "CONSOLE DEMO");
  EXPECT_EQ(term.cellText(5, 10), "▒");

  term.resize(20, 60);
  ASSERT_TRUE(term.waitForText("Please enlarge", 5)) << term.screenText();
  EXPECT_EQ(term.screenText().find("CONSOLE DEMO"), std::string::npos);
  // A key typed while the notice shows would act unseen: it is dropped.
  term.sendKeys("\x1b[A");
  ASSERT_TRUE(term.settle(5));

  term.resize(25, 80);
  ASSERT_TRUE(term.waitUntil([&] { return term.rowText(0).starts_with("CONSOLE DEMO"); }, 5))
      << term.screenText();
  ASSERT_TRUE(term.settle(5));
  EXPECT_FALSE(term.rowText(5).starts_with("KEY: ")) << term.rowText(5);
  EXPECT_EQ(term.screenText().find("Please enlarge"), std::string::npos);
  EXPECT_TRUE(keyShows(term, "\x1b[A", 5));
}

TEST_F(ConsoleE2E, SuspendRestoresAndResumeRedraws) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  EXPECT_EQ(term.altScreenEntries(), 1);
  // The pseudo-terminal's session has no job-control shell, so the stop
  // itself is void; the program still leaves and re-enters the screen.
  term.sendKeys("\x1a");
  ASSERT_TRUE(term.waitUntil([&] { return term.altScreenEntries() == 2; }, 5));
  ASSERT_TRUE(term.waitForText("READY", 5));
  // All of the redraw in, so that none of it arrives after the scribble.
  ASSERT_TRUE(term.settle(5));

  // Stopped and continued from outside, with the terminal scribbled on in
  // between: the whole screen comes back.
  term.kill(SIGSTOP);
  term.play("\x1b[H\x1b[2JSCRIBBLE");
  term.kill(SIGCONT);
  ASSERT_TRUE(term.waitUntil(
      [&] {
        return term.rowText(0).starts_with("CONSOLE DEMO") &&
               term.screenText().find("READY") != std::string::npos &&
               term.screenText().find("SCRIBBLE") == std::string::npos;
      },
      5))
      << term.screenText();
  EXPECT_TRUE(keyShows(term, "x", 'x'));
}

TEST_F(ConsoleE2E, TonesWithoutASoundDeviceRingTheBellOncePerTone) {
  VtermPty term(demo());
  ASSERT_TRUE(term.waitForText("READY", 5));
  const auto start = std::chrono::steady_clock::now();
  term.sendKeys("t");
  ASSERT_TRUE(term.waitForText("TONES DONE", 5));
  // Two tones of 2 ticks: about 0.22 seconds in all.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  if (!std::filesystem::exists("/dev/snd")) {
    EXPECT_EQ(term.bells(), 2);
  }
}

TEST_F(ConsoleE2E, MouseClicksArriveAsScreenCells) {
  VtermPty term(demo(27, 82));  // one row and column of margin
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.sendKeys("m");
  ASSERT_TRUE(term.waitForText("MOUSE ON", 5));
  term.sendKeys("\x1b[<0;12;5M\x1b[<0;12;5m");  // press and release at terminal (4, 11)
  ASSERT_TRUE(term.waitForText("CLICK 3 10", 5)) << term.screenText();
}

TEST_F(ConsoleE2E, RefusesToStartWithoutATerminal) {
  // An unknown terminal type: one line, exit code 1, the terminal untouched.
  Launch unknown = demo();
  unknown.env = {"TERM=no-such-terminal"};
  VtermPty term(unknown);
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(term.altScreenEntries(), 0);
  EXPECT_EQ(term.rowText(0).find("console_demo: unknown terminal type 'no-such-terminal'"), 0u)
      << term.screenText();
  EXPECT_EQ(term.rowText(1).find_first_not_of(' '), std::string::npos);

  // Standard input that is not a terminal.
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    dup2(err[1], STDERR_FILENO);
    execl(kDemo.c_str(), kDemo.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err[1]);
  std::string message;
  char buffer[256];
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  close(err[0]);
  int childStatus = 0;
  waitpid(pid, &childStatus, 0);
  ASSERT_TRUE(WIFEXITED(childStatus));
  EXPECT_EQ(WEXITSTATUS(childStatus), 1);
  EXPECT_EQ(message, "console_demo: standard input is not a terminal\n");
}

}  // namespace
