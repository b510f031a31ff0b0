// An organiser's own structure on the real program in a pseudo-terminal:
// antes, a break, labels written with K, skips across the break, the last
// level starting again, a resumed break, and a file refused before the
// terminal is touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "harness/plain_run.h"
#include "harness/potclock_screen.h"
#include "harness/vterm_pty.h"

namespace {

namespace fs = std::filesystem;
using e2e::CountdownReader;
using e2e::haveSoundDevice;
using e2e::kCaption;
using e2e::kNextLevel;
using e2e::kWait;
using e2e::Launch;
using e2e::quitWithYes;
using e2e::shows;
using e2e::StateHome;
using e2e::VtermPty;
using e2e::waitBig;

constexpr const char* kFriday = R"(name = "Friday deep stack"
minutes = 20

[[level]]
blinds = [25, 50]

[[level]]
blinds = [100, 200]
ante = 25

[[level]]
break = 10
note = "Colour up the 25s"

[[level]]
blinds = [15000, 30000]
ante = 1000
minutes = 1
)";

fs::path writeFile(const StateHome& home, const char* name, const std::string& text) {
  const fs::path file = home.dir() / name;
  std::ofstream(file, std::ios::binary) << text;
  return file;
}

Launch potclock(const StateHome& home, std::vector<std::string> args) {
  return e2e::potclockIn(home, std::move(args));
}

::testing::AssertionResult nextLevelReads(VtermPty& term, const std::string& text) {
  return shows(term, " " + kNextLevel + text + "  ");
}

// The bells the terminal rang since `from`, where the chime rings them; on
// a machine with a sound device the tones go there, out of the test's hearing.
void expectBells(const VtermPty& term, int from, int count) {
  if (!haveSoundDevice()) {
    EXPECT_EQ(term.bells() - from, count);
  }
}

TEST(StructureE2E, AntesABreakAndSkipsAsTheRoomSeesThem) {
  StateHome home;
  const fs::path file = writeFile(home, "friday.toml", kFriday);
  {
    VtermPty term(potclock(home, {"--structure", file.string()}));
    ASSERT_TRUE(shows(term, "Press any key to start timer "));
    EXPECT_TRUE(shows(term, "Friday deep stack"));
    term.sendKeys("s");
    ASSERT_TRUE(shows(term, kCaption + " 1)"));
    EXPECT_TRUE(waitBig(term, 6, "  25 / 50"));
    EXPECT_TRUE(nextLevelReads(term, "100/200  Ante: 25"));
    const int bells = term.bells();

    term.sendKeys("+");
    ASSERT_TRUE(shows(term, kCaption + " 2)   Ante: 25"));
    EXPECT_TRUE(waitBig(term, 6, "  100/200"));
    EXPECT_TRUE(nextLevelReads(term, "break of 10 minutes"));

    term.sendKeys("+");
    ASSERT_TRUE(waitBig(term, 6, "  BREAK"));
    EXPECT_TRUE(shows(term, " Colour up the 25s"));
    EXPECT_TRUE(shows(term, "T I M E    R E M A I N I N G   I N   T H I S    B R E A K"));
    EXPECT_TRUE(nextLevelReads(term, "15K/30K  Ante: 1,000"));
    EXPECT_TRUE(CountdownReader(590, 600).waitChange(term, std::nullopt));

    term.sendKeys("+");
    ASSERT_TRUE(shows(term, kCaption + " 3)   Ante: 1,000"));
    EXPECT_TRUE(waitBig(term, 6, " 15K/30K"));
    EXPECT_TRUE(nextLevelReads(term, "-----"));

    // "+" at the last level starts it again with the low tone; "-" goes
    // back into the break.
    term.sendKeys("+");
    EXPECT_TRUE(term.waitUntil([&] { return term.bells() - bells >= 5; }, kWait) ||
                haveSoundDevice());
    EXPECT_TRUE(waitBig(term, 6, " 15K/30K"));
    term.sendKeys("-");
    ASSERT_TRUE(waitBig(term, 6, "  BREAK"));
    expectBells(term, bells, 6);
    ASSERT_TRUE(
        term.waitUntil([&] { return home.text().find("level 3\n") != std::string::npos; }, kWait))
        << home.text();

    // The window dies in the break.
    term.kill(SIGKILL);
    const int status = term.waitExit(kWait);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  }
  // The file edited meanwhile changes nothing: the game keeps its copy.
  writeFile(home, "friday.toml", "garbage");
  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(waitBig(term, 6, "  BREAK"));
  EXPECT_TRUE(shows(term, " Colour up the 25s"));
  EXPECT_TRUE(CountdownReader(580, 600).waitChange(term, std::nullopt)) << term.screenText();
  EXPECT_TRUE(shows(term, "Friday deep stack"));
  quitWithYes(term);
  EXPECT_FALSE(fs::exists(home.file()));
  EXPECT_FALSE(fs::exists(home.file().string() + ".structure"));
}

TEST(StructureE2E, TheLastLevelStartsAgainWhenItRunsOut) {
  StateHome home;
  home.write("placeholder");
  writeFile(home, "potclock/game.structure", kFriday);
  char endsAt[32];
  std::snprintf(endsAt, sizeof endsAt, "%.3f", e2e::wallNow() + 3);
  home.write(std::string("potclock-state 1\nlevel 4\nper-level 1\nmode M\nstructure 1\nends-at ") +
             endsAt + "\n");

  VtermPty term(potclock(home, {"--resume"}));
  ASSERT_TRUE(shows(term, kCaption + " 3)   Ante: 1,000"));
  const int bells = term.bells();
  const CountdownReader start(55, 60);
  ASSERT_TRUE(term.waitUntil([&] { return start.read(term).has_value(); }, kWait + 3))
      << term.screenText();
  EXPECT_TRUE(waitBig(term, 6, " 15K/30K"));
  EXPECT_TRUE(shows(term, kCaption + " 3)   Ante: 1,000"));
  // The chime, then the low tone of the end of the structure.
  expectBells(term, bells, 4);
  quitWithYes(term);
}

TEST(StructureE2E, AFileThatCannotBeUsedIsRefusedBeforeTheTerminalIsTouched) {
  StateHome home;
  const fs::path file = writeFile(home, "bad.toml",
                                  "minutes = 20\n"
                                  "[[level]]\n"
                                  "blinds = [50, 25]\n"
                                  "[[level]]\n"
                                  "blind = [100, 200]\n");
  VtermPty term(potclock(home, {"--structure", file.string()}));
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(term.altScreenEntries(), 0);
  EXPECT_TRUE(term.restored());
  const std::string screen = term.screenText();
  EXPECT_NE(screen.find(file.string() + ":3:"), std::string::npos) << screen;
  EXPECT_NE(screen.find(file.string() + ":5:"), std::string::npos) << screen;
  EXPECT_FALSE(fs::exists(home.file().parent_path()));

  const e2e::Ran plain = e2e::runPlain({"--structure", file.string()}, {home.env()});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.out, "");
  EXPECT_EQ(plain.err.rfind(file.string() + ":3:", 0), 0u) << plain.err;
}

}  // namespace
