#include "app/disk/gamelock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/disk/statefile.h"
#include "support/temp_dir.h"

namespace potclock {
namespace {

namespace fs = std::filesystem;

// Another process that claims the game of `file` and holds it until killed.
class OtherClock {
 public:
  explicit OtherClock(const fs::path& file) {
    int ready[2];
    if (::pipe(ready) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      GameClaim claim = claimGame(file, "", true);
      const char held = claim.lock ? 'y' : 'n';
      (void)!::write(ready[1], &held, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 'n';
    (void)!::read(ready[0], &held, 1);
    ::close(ready[0]);
    held_ = held == 'y';
  }
  ~OtherClock() { kill(); }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t pid() const { return pid_; }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST(GameLock, OneClockPerGameUntilItsProcessIsGone) {
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  OtherClock other(dir / "game");
  ASSERT_TRUE(other.held());

  const GameClaim second = claimGame(dir / "game", "", false);
  EXPECT_FALSE(second.lock.has_value());
  EXPECT_EQ(second.refusal, "potclock: this game is running in another potclock (process " +
                                std::to_string(other.pid()) + "); potclock --watch shows it");
  // A game of another name is another game.
  const GameClaim named = claimGame(dir / gameFileName("sat"), "sat", false);
  EXPECT_TRUE(named.lock.has_value());
  EXPECT_EQ(named.refusal, "");

  other.kill();  // as a crash would end it: no chance to let go
  const GameClaim after = claimGame(dir / "game", "", false);
  EXPECT_TRUE(after.lock.has_value());
  EXPECT_EQ(after.refusal, "");
}

TEST(GameLock, ALockThatCannotBeTakenKeepsNoGame) {
  const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
      {"a link planted as the lock, never followed",
       [](const fs::path& lock) { fs::create_symlink(lock.parent_path() / "elsewhere", lock); }},
      {"a directory", [](const fs::path& lock) { fs::create_directory(lock); }},
      {"a FIFO", [](const fs::path& lock) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }},
  };
  for (const auto& [why, plant] : cases) {
    SCOPED_TRACE(why);
    TempCwd tmp;
    const fs::path dir = tmp.path() / "potclock";
    fs::create_directory(dir);
    fs::permissions(dir, fs::perms::owner_all);
    plant(dir / "game.lock");
    const GameClaim claim = claimGame(dir / "game", "", false);
    EXPECT_FALSE(claim.lock.has_value());
    // The clock runs, but keeps nothing, and --resume is turned away.
    ASSERT_TRUE(claim.notKept.has_value());
    EXPECT_EQ(claim.notKept->brief.rfind("cannot lock the game: ", 0), 0u) << claim.notKept->brief;
    EXPECT_EQ(claim.refusal.rfind("potclock: cannot lock the game: ", 0), 0u) << claim.refusal;
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
  }
}

TEST(GameLock, NamesAreShortAndPlainAndMakeTheirOwnFiles) {
  EXPECT_EQ(gameFileName(""), "game");
  EXPECT_EQ(gameFileName("Main-event_2"), "game-Main-event_2");
  EXPECT_EQ(structureCopyName(gameFileName("x")), "game-x.structure");
  EXPECT_EQ(lockFileName(gameFileName("")), "game.lock");
  for (const std::string& ok :
       std::vector<std::string>{"a", "Z9", "main-event_2", std::string(32, 'n')})
    EXPECT_TRUE(validGameName(ok)) << ok;
  for (const std::string& bad : std::vector<std::string>{"", "a b", "x.y", "../x", "a/b",
                                                         "caf\xc3\xa9", std::string(33, 'n')})
    EXPECT_FALSE(validGameName(bad)) << bad;
}

}  // namespace
}  // namespace potclock
