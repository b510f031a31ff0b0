// Every signal that would end the program finds the terminal put back
// first, and a Linux text console gets its screen blanking back on every way
// out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "harness/vterm_pty.h"

namespace {

using e2e::Launch;
using e2e::VtermPty;

const std::string kDemo = std::string(E2E_BIN_DIR) + "/console_demo";

Launch demo(const std::string& term = "") {
  Launch launch;
  launch.argv = {kDemo};
  if (!term.empty()) launch.env = {"TERM=" + term};
  return launch;
}

// Crashes on purpose must not leave core files behind.
struct EndingSignalsE2E : ::testing::Test {
  void SetUp() override {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
  }
};

::testing::AssertionResult modesRestored(const termios& modes) {
  std::string raw;
  if ((modes.c_lflag & ICANON) == 0) raw += " -icanon";
  if ((modes.c_lflag & ECHO) == 0) raw += " -echo";
  if ((modes.c_iflag & ICRNL) == 0) raw += " -icrnl";
  if ((modes.c_oflag & OPOST) == 0) raw += " -opost";
  if (raw.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the terminal is left" << raw;
}

::testing::AssertionResult endedBy(int status, int sig) {
  if (WIFSIGNALED(status) && WTERMSIG(status) == sig) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "wait status " << status << ", not killed by " << sig;
}

// SIGXFSZ is not among them: it is ignored, so that a write past a file-size
// limit fails like any refused write instead of ending the program.
TEST_F(EndingSignalsE2E, SignalsThatWouldEndTheProgramRestoreTheTerminalFirst) {
  for (const int sig : {SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF, SIGPWR, SIGIO,
                        SIGRTMIN + 3, SIGTRAP, SIGSYS, SIGXCPU}) {
    SCOPED_TRACE("signal " + std::to_string(sig));
    VtermPty term(demo());
    ASSERT_TRUE(term.waitForText("READY", 5));
    term.kill(sig);
    const int status = term.waitExit(5);
    EXPECT_TRUE(endedBy(status, sig));
    EXPECT_TRUE(term.restored()) << "alt " << term.altScreen() << " cursor "
                                 << term.cursorVisible();
    EXPECT_TRUE(modesRestored(term.terminalModes()));
  }
}

// Signals that report a fault (a trap, a bad system call, a resource limit)
// end at once, even when the program is not waiting for a key.
TEST_F(EndingSignalsE2E, FaultSignalsEndABusyProgramAtOnce) {
  for (const int sig : {SIGTRAP, SIGXCPU}) {
    SCOPED_TRACE("signal " + std::to_string(sig));
    VtermPty term(demo());
    ASSERT_TRUE(term.waitForText("READY", 5));
    term.sendKeys("b");
    ASSERT_TRUE(term.waitForText("BUSY", 5));
    term.kill(sig);
    const int status = term.waitExit(2);  // busy for ten seconds otherwise
    EXPECT_TRUE(endedBy(status, sig));
    EXPECT_TRUE(term.restored());
    EXPECT_TRUE(modesRestored(term.terminalModes()));
  }
}

TEST_F(EndingSignalsE2E, ASignalIgnoredAtStartStaysIgnored) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction before {};
  sigaction(SIGUSR1, &ignore, &before);
  VtermPty term(demo());  // inherits the ignored signal
  sigaction(SIGUSR1, &before, nullptr);
  ASSERT_TRUE(term.waitForText("READY", 5));
  term.kill(SIGUSR1);
  term.sendKeys("x");
  ASSERT_TRUE(term.waitUntil([&] { return term.rowText(5).starts_with("KEY: 120 "); }, 5))
      << term.screenText();
  term.sendKeys("q");
  const int status = term.waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The console's own sequences for the blanking and power-down intervals.
std::vector<std::string> intervalSequences(const VtermPty& term) {
  std::vector<std::string> out;
  for (const std::string& s : term.unknownSequences()) {
    if (s.starts_with("\x1b[9;") || s.starts_with("\x1b[14;")) out.push_back(s);
  }
  return out;
}

// The blanking interval in force, as the console takes it: in minutes,
// from the kernel's setting in seconds (a part minute counts whole, so that
// blanking that was on stays on).
std::string blankingInForce() {
  std::ifstream in("/sys/module/kernel/parameters/consoleblank");
  int seconds = 0;
  if (!(in >> seconds)) return "\x1b[9;10]";  // unreadable: the console's usual ten minutes
  return "\x1b[9;" + std::to_string(std::min((seconds + 59) / 60, 60)) + "]";
}

TEST_F(EndingSignalsE2E, LinuxConsoleStaysAwakeAndGetsItsBlankingBack) {
  const std::vector<std::string> awake = {"\x1b[9;0]", "\x1b[14;0]"};
  std::vector<std::string> restored = awake;
  restored.push_back(blankingInForce());

  struct Way {
    const char* name;
    const char* key;  // or nullptr
    int sig;
  };
  for (const Way way :
       {Way{"key q", "q", 0}, Way{"_QUIT", "e", 0}, Way{"SIGTERM", nullptr, SIGTERM},
        Way{"SIGUSR1", nullptr, SIGUSR1}, Way{"SIGTRAP", nullptr, SIGTRAP}, Way{"crash", "c", 0}}) {
    SCOPED_TRACE(way.name);
    VtermPty term(demo("linux"));
    ASSERT_TRUE(term.waitForText("READY", 5)) << term.screenText();
    EXPECT_EQ(intervalSequences(term), awake);
    if (way.key != nullptr) term.sendKeys(way.key);
    if (way.sig != 0) term.kill(way.sig);
    ASSERT_NE(term.waitExit(5), -1);
    EXPECT_EQ(intervalSequences(term), restored);
    EXPECT_TRUE(modesRestored(term.terminalModes()));
  }

  // Any other terminal is left alone.
  VtermPty other(demo("xterm-256color"));
  ASSERT_TRUE(other.waitForText("READY", 5));
  other.sendKeys("q");
  ASSERT_NE(other.waitExit(5), -1);
  EXPECT_TRUE(intervalSequences(other).empty());
}

}  // namespace
