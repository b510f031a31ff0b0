#include "app/disk/statefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/disk/statewriter.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

namespace fs = std::filesystem;

// The reason a write gives, or nothing when it went.
std::string whyNot(const Result<void>& written) {
  return written.ok() ? std::string() : written.failure().reason;
}

GameState minutes(int level, int perLevel, double endsAt) {
  GameState s;
  s.nLevel = level;
  s.nPerLevel = perLevel;
  s.endsAt = endsAt;
  return s;
}

GameState paused(int level, int perLevel, long left) {
  GameState s = minutes(level, perLevel, 0);
  s.paused = true;
  s.secondsLeft = left;
  return s;
}

GameState asking(int level, int perLevel, double endsAt, long shown) {
  GameState s = minutes(level, perLevel, endsAt);
  s.asking = true;
  s.secondsLeft = shown;
  return s;
}

// Corrected by the director, and started at a planned time.
GameState corrected(GameState s, long seconds, double startsAt = 0) {
  s.corrected = seconds;
  s.startsAt = startsAt;
  return s;
}

GameState hands(int level, int perLevel, int counted) {
  GameState s;
  s.nLevel = level;
  s.nPerLevel = perLevel;
  s.mode = Mode::hands;
  s.handsCounted = counted;
  return s;
}

void writeText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// A structure game with a [tournament] table, whose count is kept with it.
GameState counted(GameState s, Count c) {
  s.structure = true;
  s.count = c;
  return s;
}

TEST(GameState, EveryKindOfGameComesBackAsItWasWritten) {
  for (const GameState& s :
       {minutes(1, 15, 1796745600.25), minutes(63, 1440, 1.5), paused(42, 2, 0),
        paused(24, 10, 600), asking(7, 10, 1796745600.5, 37), hands(23, 5, 0), hands(63, 40, 39),
        counted(paused(3, 20, 60), {52, 37, 12, 30}), counted(hands(2, 8, 1), {0, 0, 0, 0}),
        counted(minutes(1, 20, 1.5), {99999, 1, 99999, 99999}), corrected(paused(4, 1, 90), 30),
        corrected(minutes(2, 20, 1796745600.25), -600),
        corrected(minutes(1, 20, 1796746800.0), 0, 1796745600.0)}) {
    const auto back = parseGameState(formatGameState(s));
    ASSERT_TRUE(back.ok()) << formatGameState(s);
    EXPECT_EQ(back.value(), s) << formatGameState(s);
  }
}

// An older program refuses the lines of the count, so a game with one says
// it is of a later version; a game without one is written as before.
TEST(GameState, OnlyAGameWithACountOrACorrectionIsWrittenAsVersionTwo) {
  EXPECT_EQ(formatGameState(corrected(paused(3, 20, 60), -30)),
            "potclock-state 2\nlevel 3\nper-level 20\nmode M\npaused-left 60\ncorrected -30\n");
  EXPECT_EQ(formatGameState(paused(3, 20, 60)),
            "potclock-state 1\nlevel 3\nper-level 20\nmode M\npaused-left 60\n");
  EXPECT_EQ(formatGameState(counted(paused(3, 20, 60), {52, 37, 12, 30})),
            "potclock-state 2\nlevel 3\nper-level 20\nmode M\nstructure 1\nentries 52\n"
            "players 37\nrebuys 12\naddons 30\npaused-left 60\n");
}

TEST(GameState, TimesAreReadInAnyDecimalForm) {
  const std::string head = "potclock-state 1\nlevel 5\nper-level 10\nmode M\nends-at ";
  const std::pair<const char*, double> cases[] = {
      {"1796745600.250", 1796745600.25}, {"1.8e9", 1.8e9}, {"18E+8", 1.8e9}, {"5.", 5}, {".5", 0.5},
      {"17967456e2", 1796745600}};
  for (const auto& [text, want] : cases) {
    const auto parsed = parseGameState(head + text + "\n");
    ASSERT_TRUE(parsed.ok()) << text;
    EXPECT_EQ(parsed.value().endsAt, want) << text;
  }
}

// Kept finer, the time read would not be the one saved next.
TEST(GameState, ATimeIsKeptToTheMillisecondTheFileHolds) {
  const auto read =
      parseGameState("potclock-state 1\nlevel 42\nper-level 15\nmode M\nends-at 17967.05462050\n");
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value().endsAt, 17967.055);
  const auto back = parseGameState(formatGameState(read.value()));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.value(), read.value());
}

TEST(GameState, TextsThatAreNoGameAreRefused) {
  const std::string head = "potclock-state 1\nlevel 5\nper-level 10\n";
  const std::string counted2 = "potclock-state 2\nlevel 5\nper-level 10\nstructure 1\n";
  struct Case {
    const char* why;
    std::string text;
    Failure::Kind fault;
  };
  const Case cases[] = {
      {"empty", "", Failure::damaged},
      {"another program's file", "[game]\nlevel=5\n", Failure::damaged},
      {"cut short", head + "mode M\nends-at 17967", Failure::damaged},
      {"no version", "potclock-state\n", Failure::damaged},
      {"version 0", "potclock-state 0\n", Failure::damaged},
      {"a later version, whatever follows", "potclock-state 3\nlevel 5\nnew-field x\n",
       Failure::newer},
      {"no mode", head, Failure::damaged},
      {"an unknown mode", head + "mode X\nends-at 100\n", Failure::damaged},
      {"no level", "potclock-state 1\nper-level 10\nmode H\nhands-counted 1\n", Failure::damaged},
      {"level 0", "potclock-state 1\nlevel 0\nper-level 10\nmode H\nhands-counted 1\n",
       Failure::damaged},
      {"level 64", "potclock-state 1\nlevel 64\nper-level 10\nmode H\nhands-counted 1\n",
       Failure::damaged},
      {"no minutes", "potclock-state 1\nlevel 5\nper-level 0\nmode M\npaused-left 0\n",
       Failure::damaged},
      {"a number with a tail", head + "mode M\nends-at 100s\n", Failure::damaged},
      {"running and paused at once", head + "mode M\nends-at 100\npaused-left 5\n",
       Failure::damaged},
      {"neither running nor paused", head + "mode M\n", Failure::damaged},
      {"more time left than the level has", head + "mode M\npaused-left 601\n", Failure::damaged},
      {"a question open in a paused level", head + "mode M\npaused-left 60\nasking-left 60\n",
       Failure::damaged},
      {"a question open on more time than the level has",
       head + "mode M\nends-at 100\nasking-left 601\n", Failure::damaged},
      {"a time not a number", head + "mode M\nends-at nan\n", Failure::damaged},
      {"a time with a plus sign", head + "mode M\nends-at +100\n", Failure::damaged},
      {"a time in hexadecimal", head + "mode M\nends-at 0x100\n", Failure::damaged},
      {"a time with an empty exponent", head + "mode M\nends-at 100e\n", Failure::damaged},
      {"a time beyond any number", head + "mode M\nends-at 1e999\n", Failure::damaged},
      {"a time of a point alone", head + "mode M\nends-at .\n", Failure::damaged},
      {"a time past the year 2286", head + "mode M\nends-at 1e300\n", Failure::damaged},
      {"a time of 0 to the millisecond", head + "mode M\nends-at 0.0004\n", Failure::damaged},
      {"more hands a level than the dialogue takes",
       "potclock-state 1\nlevel 5\nper-level 41\nmode H\nhands-counted 1\n", Failure::damaged},
      {"a level longer than a day",
       "potclock-state 1\nlevel 5\nper-level 1441\nmode M\nends-at 9\n", Failure::damaged},
      {"all hands counted already", head + "mode H\nhands-counted 10\n", Failure::damaged},
      {"hands with a time", head + "mode H\nhands-counted 1\nends-at 100\n", Failure::damaged},
      {"a key twice", head + "mode H\nhands-counted 1\nhands-counted 2\n", Failure::damaged},
      {"an unknown key", head + "mode H\nhands-counted 1\ncolour red\n", Failure::damaged},
      // The count: version 2 only, of a structure game, all four lines, a
      // count that could be.
      {"a count in version 1",
       "potclock-state 1\nlevel 5\nper-level 10\nmode H\nstructure 1\n"
       "hands-counted 1\nentries 5\nplayers 5\nrebuys 0\naddons 0\n",
       Failure::damaged},
      {"a correction in version 1",
       "potclock-state 1\nlevel 5\nper-level 10\nmode M\nends-at 1796745600.250\ncorrected 60\n",
       Failure::damaged},
      {"a correction in hands mode",
       "potclock-state 2\nlevel 5\nper-level 10\nmode H\nhands-counted 1\ncorrected 60\n",
       Failure::damaged},
      {"a paused time beyond the correction",
       "potclock-state 2\nlevel 5\nper-level 1\nmode M\npaused-left 121\ncorrected 60\n",
       Failure::damaged},
      {"a count of a built-in game",
       "potclock-state 2\nlevel 5\nper-level 10\nmode H\n"
       "hands-counted 1\nentries 5\nplayers 5\nrebuys 0\naddons 0\n",
       Failure::damaged},
      {"a count without its add-ons",
       counted2 + "mode H\nhands-counted 1\nentries 5\nplayers 5\nrebuys 0\n", Failure::damaged},
      {"more players than entries",
       counted2 + "mode H\nhands-counted 1\nentries 5\nplayers 6\nrebuys 0\naddons 0\n",
       Failure::damaged},
      {"no player left of five entries",
       counted2 + "mode H\nhands-counted 1\nentries 5\nplayers 0\nrebuys 0\naddons 0\n",
       Failure::damaged},
      {"negative rebuys",
       counted2 + "mode H\nhands-counted 1\nentries 5\nplayers 5\nrebuys -1\naddons 0\n",
       Failure::damaged},
  };
  for (const Case& c : cases) {
    const auto parsed = parseGameState(c.text);
    ASSERT_FALSE(parsed.ok()) << c.why;
    EXPECT_EQ(parsed.failure().kind, c.fault) << c.why;
  }
}

TEST(GameStateFile, IsKeptInAPrivateDirectoryAndReplacedWhole) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "state" / "potclock" / "game";
  ASSERT_TRUE(saveGameState(file, minutes(5, 10, 1000.5)).ok());
  ASSERT_TRUE(saveGameState(file, paused(6, 10, 300)).ok());
  struct stat info {};
  ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // Only the file itself is left: nothing half-written beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
  const auto back = loadGameState(file);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.value(), paused(6, 10, 300));

  // A new file left over from a write of this process that was cut short is
  // no obstacle; another process's file being written is left alone.
  const std::string mine = "game." + std::to_string(::getpid()) + ".new";
  writeText(file.parent_path() / mine, "half");
  writeText(file.parent_path() / "game.1.new", "another clock's");
  EXPECT_TRUE(saveGameState(file, hands(7, 10, 2)).ok());
  EXPECT_EQ(loadGameState(file).value(), hands(7, 10, 2));
  EXPECT_FALSE(fs::exists(file.parent_path() / mine));
  EXPECT_TRUE(fs::exists(file.parent_path() / "game.1.new"));

  removeGameState(file);
  EXPECT_FALSE(fs::exists(file));
  removeGameState(file);  // already gone: nothing to say
}

TEST(GameStateFile, IsNeverWrittenThroughASymbolicLink) {
  TempCwd tmp;
  const fs::path elsewhere = tmp.path() / "elsewhere";
  fs::create_directory(elsewhere);
  writeText(elsewhere / "precious", "keep me");

  // A link in place of the file is replaced; what it pointed to is untouched.
  const fs::path dir = tmp.path() / "a" / "potclock";
  fs::create_directories(dir);
  fs::create_symlink(elsewhere / "precious", dir / "game");
  EXPECT_TRUE(saveGameState(dir / "game", hands(7, 10, 2)).ok());
  EXPECT_FALSE(fs::is_symlink(dir / "game"));
  EXPECT_EQ(readFile(elsewhere / "precious"), "keep me");

  // A link in place of the directory is refused.
  fs::create_directories(tmp.path() / "b");
  fs::create_directory_symlink(elsewhere, tmp.path() / "b" / "potclock");
  EXPECT_FALSE(saveGameState(tmp.path() / "b" / "potclock" / "game", hands(7, 10, 2)).ok());
  EXPECT_FALSE(fs::exists(elsewhere / "game"));
}

TEST(GameStateFile, EveryWayToTheStateDirectoryTrustsItAlike) {
  TempCwd tmp;
  ScopedEnvironment env;
  env.set("XDG_STATE_HOME", nullptr);
  env.set("HOME", tmp.path().c_str());
  fs::create_directories(tmp.path() / ".local" / "state" / "potclock");
  fs::permissions(tmp.path() / ".local", fs::perms::owner_all | fs::perms::group_all);
  // A group that may change ~/.local may swap the directory below it: the
  // game's file is not used, whether the game is reached by its path (a
  // structure game, --resume) or from the environment (a new game).
  const std::string why = "the directory " + (tmp.path() / ".local").string() +
                          " may be changed by other users (mode 0770)";
  EXPECT_EQ(whyNot(saveGameState(gameStatePath(), hands(9, 10, 0))), why);
  EXPECT_EQ(StateDir::open(*stateLocation(), true).failure().reason, why);
}

// A state directory that is a link, or that another user could change, is
// neither read, written nor emptied, and the refusal names it.
TEST(GameStateFile, AStateDirectoryThatIsNotTheUsersOwnIsNotUsed) {
  TempCwd tmp;
  const fs::path elsewhere = tmp.path() / "elsewhere";
  fs::create_directory(elsewhere);
  fs::permissions(elsewhere, fs::perms::owner_all);
  const std::string game = formatGameState(hands(7, 10, 2));
  struct Case {
    const char* why;
    void (*make)(const fs::path& dir, const fs::path& elsewhere);
    std::string reason;  // after the directory's name
  };
  const Case cases[] = {
      {"a link", [](const fs::path& d, const fs::path& e) { fs::create_directory_symlink(e, d); },
       " is a symbolic link"},
      {"group-writable",
       [](const fs::path& d, const fs::path&) {
         fs::create_directory(d);
         fs::permissions(d, fs::perms::owner_all | fs::perms::group_all);
       },
       " may be changed by other users (mode 0770)"},
      {"writable by all",
       [](const fs::path& d, const fs::path&) {
         fs::create_directory(d);
         fs::permissions(d, fs::perms::all);
       },
       " may be changed by other users (mode 0777)"},
      {"another user's",
       [](const fs::path& d, const fs::path&) {
         fs::create_directory(d);
         fs::permissions(d, fs::perms::owner_all);
         if (::geteuid() == 0) {
           EXPECT_EQ(::chown(d.c_str(), 65534, 65534), 0);
         }
       },
       " belongs to another user"},
  };
  for (const Case& c : cases) {
    if (std::string(c.why) == "another user's" && ::geteuid() != 0) continue;
    const fs::path base = tmp.path() / c.why;
    fs::create_directory(base);
    const fs::path dir = base / "potclock";
    c.make(dir, elsewhere);
    const fs::path target = fs::is_symlink(dir) ? elsewhere : dir;
    writeText(target / "game", game);
    const std::string named = (fs::is_symlink(dir) ? "" : "the directory ") + dir.string();

    const auto loaded = loadGameState(dir / "game");
    ASSERT_TRUE(!loaded.ok()) << c.why;
    EXPECT_EQ(loaded.failure().reason, named + c.reason) << c.why;
    EXPECT_EQ(whyNot(saveGameState(dir / "game", hands(9, 10, 0))), named + c.reason) << c.why;
    removeGameState(dir / "game");
    EXPECT_EQ(readFile(target / "game"), game) << c.why;
  }
}

TEST(GameStateFile, HalfWrittenFilesOfProcessesGoneAreRemovedAtTheStart) {
  TempCwd tmp;
  const fs::path dir = tmp.path() / "potclock";
  fs::create_directory(dir);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string gone = "game." + std::to_string(child) + ".new";
  const std::string running = "game." + std::to_string(::getppid()) + ".new";
  for (const std::string& name :
       {gone, running, std::string("game.structure.") + std::to_string(child) + ".new",
        std::string("notes.new")})
    writeText(dir / name, "half");
  TestRuntime t;
  StateWriter writer(dir / "game");
  EXPECT_FALSE(fs::exists(dir / gone));
  EXPECT_FALSE(fs::exists(dir / ("game.structure." + std::to_string(child) + ".new")));
  EXPECT_TRUE(fs::exists(dir / running));
  EXPECT_TRUE(fs::exists(dir / "notes.new"));
}

TEST(GameStateFile, AFailedWriteSaysWhy) {
  TempCwd tmp;
  writeText(tmp.path() / "plain", "a file, not a directory");
  EXPECT_EQ(whyNot(saveGameState(tmp.path() / "plain" / "potclock" / "game", hands(7, 10, 2))),
            "Not a directory");
}

TEST(GameStateFile, EachFileThatCannotBeResumedHasItsOwnMessage) {
  TempCwd tmp;
  const fs::path file = tmp.path() / "game";
  const std::string name = file.string();
  struct Case {
    const char* why;
    void (*make)(const fs::path&);
    std::string message;
  };
  const Case cases[] = {
      {"none", [](const fs::path&) {}, "potclock: there is no game to resume"},
      {"a directory in its place", [](const fs::path& f) { fs::create_directory(f); },
       "potclock: cannot read the saved game " + name + ": not a regular file"},
      {"a dangling link", [](const fs::path& f) { fs::create_symlink("/nonexistent", f); },
       "potclock: cannot read the saved game " + name + ": Too many levels of symbolic links"},
      {"damaged", [](const fs::path& f) { writeText(f, "potclock-state 1\nlevel 5\n"); },
       "potclock: the saved game " + name + " is damaged"},
      {"too long to be ours",
       [](const fs::path& f) { writeText(f, "potclock-state 1\n" + std::string(5000, 'x')); },
       "potclock: the saved game " + name + " is damaged"},
      {"newer", [](const fs::path& f) { writeText(f, "potclock-state 7\nwhatever 1\n"); },
       "potclock: the saved game " + name + " was written by a newer version of potclock"},
  };
  for (const Case& c : cases) {
    fs::remove_all(file);
    c.make(file);
    const auto loaded = loadGameState(file);
    ASSERT_TRUE(!loaded.ok()) << c.why;
    EXPECT_EQ(loadFailureMessage(file, loaded.failure()), c.message) << c.why;
  }
}

}  // namespace
}  // namespace potclock
