// A terminal that stops reading (a stalled connection, Ctrl-S on a console):
// the program keeps running, can always be ended, and shows the whole
// screen once the terminal reads again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "harness/vterm_pty.h"

namespace {

using e2e::Launch;
using e2e::VtermPty;

const std::string kFlood = std::string(E2E_BIN_DIR) + "/flood_demo";

// The demo's picture of frame `frame` in row `row` (1 to 23): letters that
// move on every frame in rows 4, 8, ..., every second frame in rows 1, 5,
// ..., and so on; a colour from blue to white that moves with them.
std::string rowLetters(int row, int frame) {
  const int step = frame / (1 + row % 4);
  std::string letters;
  for (int col = 0; col < 80; ++col) letters += static_cast<char>('A' + (row + col + step) % 26);
  return letters;
}

int rowColourIndex(int row, int frame) {
  // Code page colours 1 to 7 (blue, green, cyan, red, magenta, brown,
  // white) as the terminal numbers them.
  constexpr int kTerminal[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  return kTerminal[1 + (row + frame / (1 + row % 4)) % 7];
}

bool waitBlocked(const VtermPty& term, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!term.outputBlocked()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The demo, animating on a terminal that no longer reads: its output
// buffer is full.
std::unique_ptr<VtermPty> stalledDemo() {
  Launch launch;
  launch.argv = {kFlood};
  auto term = std::make_unique<VtermPty>(launch);
  if (!term->waitForText("READY", 5)) return nullptr;
  term->sendKeys("a");
  if (!waitBlocked(*term, 10)) return nullptr;
  return term;
}

::testing::AssertionResult modesRestored(const termios& modes) {
  if ((modes.c_lflag & ICANON) != 0 && (modes.c_lflag & ECHO) != 0 &&
      (modes.c_iflag & ICRNL) != 0 && (modes.c_oflag & OPOST) != 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the terminal is left raw";
}

TEST(StuckTerminalE2E, FirstSignalEndsTheProgramWithinTwoSeconds) {
  struct Case {
    int sig;
    int times;
  };
  for (const Case c : {Case{SIGTERM, 1}, Case{SIGINT, 1}, Case{SIGHUP, 1}, Case{SIGTERM, 2}}) {
    SCOPED_TRACE("signal " + std::to_string(c.sig) + " sent " + std::to_string(c.times) +
                 " time(s)");
    auto term = stalledDemo();
    ASSERT_TRUE(term) << "the terminal did not fill";
    for (int i = 0; i < c.times; ++i) term->kill(c.sig);
    const int status = term->waitExitUnread(2.0);
    ASSERT_NE(status, -1) << "still running 2 s after the signal";
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), c.sig);
    EXPECT_TRUE(modesRestored(term->terminalModes()));
    // What was still queued is given up; the terminal, reading again, is
    // back on its own screen.
    term->waitExit(1);
    EXPECT_TRUE(term->restored()) << "alt " << term->altScreen();
  }
}

TEST(StuckTerminalE2E, KeysAreStillServedWhileTheTerminalIsStuck) {
  auto term = stalledDemo();
  ASSERT_TRUE(term) << "the terminal did not fill";
  term->sendKeys("q");
  const int status = term->waitExitUnread(2.0);
  ASSERT_NE(status, -1) << "the program did not see the key";
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(modesRestored(term->terminalModes()));
}

TEST(StuckTerminalE2E, TheScreenIsWholeWhenTheTerminalReadsAgain) {
  auto term = stalledDemo();
  ASSERT_TRUE(term) << "the terminal did not fill";
  // Frames go on while nothing is read; then the terminal reads again and
  // the picture is stopped.
  term->sendKeys("s");
  ASSERT_TRUE(term->waitUntil([&] { return term->rowText(24).starts_with("STOPPED "); }, 10))
      << term->screenText();
  const int frame = std::stoi(term->rowText(24).substr(8));
  EXPECT_TRUE(term->rowText(0).starts_with("FRAME " + std::to_string(frame) + " "))
      << term->rowText(0);
  for (int row = 1; row <= 23; ++row) {
    EXPECT_EQ(term->rowText(row), rowLetters(row, frame)) << "row " << row;
    for (const int col : {0, 40, 79}) {
      EXPECT_EQ(term->foreground(row, col), (VtermPty::Colour{false, rowColourIndex(row, frame)}))
          << "row " << row << " col " << col;
    }
  }
  term->sendKeys("q");
  const int status = term->waitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_TRUE(term->restored());
}

}  // namespace
