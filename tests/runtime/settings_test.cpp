#include "runtime/console/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "runtime/lang/error.h"
#include "runtime/lang/object.h"
#include "support/error_recorder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"

using namespace krx;
namespace fs = std::filesystem;

TEST(Settings, DefaultsAreTheUsualOnes) {
  TestRuntime t;
  EXPECT_EQ(SET(SET_DATEFORMAT).str(), "mm/dd/yy");
  EXPECT_TRUE(SET(SET_CONSOLE).log());
  EXPECT_EQ(SET(SET_ALTFILE).str(), "");
  EXPECT_TRUE(SET(SET_ESCAPE).log());
  EXPECT_TRUE(SET(SET_SCOREBOARD).log());
  for (int n : {SET_ALTERNATE, SET_EXTRA, SET_PRINTER, SET_BELL, SET_CONFIRM, SET_INSERT, SET_EXIT,
                SET_CENTURY, SET_HANDLEEVENT})
    EXPECT_FALSE(SET(n).log()) << "setting " << n;
  EXPECT_EQ(SET(SET_41).num(), 0);
}

TEST(Settings, ChangesReturnThePreviousValueAndTakeOnOff) {
  TestRuntime t;
  EXPECT_FALSE(SET(SET_INSERT, true).log());
  EXPECT_TRUE(SET(SET_INSERT, "off").log());
  EXPECT_FALSE(SET(SET_INSERT).log());
  SET(SET_CONSOLE, " Off ");
  EXPECT_FALSE(SET(SET_CONSOLE).log());
  // Nil only reads.
  EXPECT_FALSE(SET(SET_CONSOLE, Item()).log());
  EXPECT_FALSE(SET(SET_CONSOLE).log());
}

TEST(Settings, ValueOfTheWrongTypeIsRefused) {
  TestRuntime t;
  ErrorRecorder rec;
  EXPECT_FALSE(SET(SET_INSERT, 5).log());
  EXPECT_FALSE(SET(SET_INSERT, "maybe").log());
  EXPECT_EQ(SET(SET_DATEFORMAT, true).str(), "mm/dd/yy");
  EXPECT_EQ(SET(SET_41, "2").num(), 0);
  ASSERT_EQ(rec.errors.size(), 4u);
  for (const auto& e : rec.errors) EXPECT_EQ(e->genCode.num(), EG_ARG);
  EXPECT_FALSE(SET(SET_INSERT).log());
  EXPECT_EQ(SET(SET_DATEFORMAT).str(), "mm/dd/yy");
  EXPECT_EQ(SET(SET_41).num(), 0);
}

TEST(Settings, CenturyAndDateFormatMoveTogether) {
  TestRuntime t;
  SET(SET_CENTURY, true);
  EXPECT_EQ(SET(SET_DATEFORMAT).str(), "mm/dd/yyyy");
  SET(SET_DATEFORMAT, "dd.mm.yy");
  EXPECT_FALSE(SET(SET_CENTURY).log());
}

TEST(AlternateFile, OpenReplaceAppendAndClose) {
  TestRuntime t;
  TempDir dir;
  const std::string log = dir.file("KRXERROR.LOG");
  { std::ofstream(log) << "old contents"; }
  EXPECT_EQ(SET(SET_ALTFILE, log, false).str(), "");
  writeAlternate("dropped: alternate output is off");
  SET(SET_ALTERNATE, "ON");
  writeAlternate("\r\nfirst");
  EXPECT_EQ(readFile(log), "\r\nfirst");  // replaced, and already on disk

  SET(SET_ALTFILE, log, true);  // additive keeps what is there
  writeAlternate("+second");
  EXPECT_EQ(SET(SET_ALTFILE, "").str(), log);
  writeAlternate("after close");
  EXPECT_EQ(readFile(log), "\r\nfirst+second");

  SET(SET_ALTFILE, log);  // not additive: starts again
  writeAlternate("third");
  SET(SET_ALTFILE, "");
  EXPECT_EQ(readFile(log), "third");
}

TEST(AlternateFile, FailedOpenRaisesCreateErrorAndKeepsTheSetting) {
  TestRuntime t;
  TempDir dir;
  const std::string good = dir.file("good.log");
  const std::string bad = dir.file("missing/KRXERROR.LOG");
  SET(SET_ALTFILE, good);
  SET(SET_ALTERNATE, true);

  ErrorRecorder rec;
  EXPECT_EQ(SET(SET_ALTFILE, bad).str(), good);
  ASSERT_EQ(rec.errors.size(), 1u);
  const ErrorRef& e = rec.errors[0];
  EXPECT_EQ(e->genCode.num(), EG_CREATE);
  EXPECT_EQ(e->filename.str(), bad);
  EXPECT_TRUE(e->canRetry.log());
  EXPECT_TRUE(e->canDefault.log());
  EXPECT_NE(e->osCode.num(), 0);
  EXPECT_EQ(SET(SET_ALTFILE).str(), good);
  writeAlternate("still here");
  EXPECT_EQ(readFile(good), "still here");

  // A handler that mends the cause and retries gets the file opened.
  rec.answer = [&](const ErrorRef&) {
    fs::create_directories(dir.path() / "missing");
    return Item(true);
  };
  SET(SET_ALTFILE, bad);
  EXPECT_EQ(rec.errors.size(), 2u);
  EXPECT_EQ(SET(SET_ALTFILE).str(), bad);
  writeAlternate("retried");
  SET(SET_ALTFILE, "");
  EXPECT_EQ(readFile(bad), "retried");
}

TEST(AlternateFile, WriteFailureIsReportedOnce) {
  TestRuntime t;
  TempDir dir;
  ErrorRecorder rec;
  const std::string name = dir.file("full.log");
  FileSizeLimit disk(8);
  SET(SET_ALTFILE, name);
  SET(SET_ALTERNATE, true);
  writeAlternate("fits");
  writeAlternate("does not fit");
  writeAlternate("lost too");
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.errors[0]->genCode.num(), EG_WRITE);
  EXPECT_EQ(rec.errors[0]->filename.str(), name);
}

// A name in a shared directory may be a trap: a link to another file of the
// user's, a link to a file not yet there, a device. Each is refused as a file
// that cannot be opened, and nothing is written or created through it.
TEST(AlternateFile, OnlyARegularFileIsEverWritten) {
  TestRuntime t;
  TempDir dir;
  const std::string precious = dir.file("precious.txt");
  { std::ofstream(precious) << "keep me"; }
  fs::create_symlink(precious, dir.file("link.log"));
  fs::create_symlink(dir.file("planted.txt"), dir.file("dangling.log"));
  for (const std::string& name : {dir.file("link.log"), dir.file("dangling.log"),
                                  std::string("/dev/null"), dir.path().string()}) {
    SCOPED_TRACE(name);
    ErrorRecorder rec;
    SET(SET_ALTFILE, name);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0]->genCode.num(), EG_CREATE);
    EXPECT_EQ(SET(SET_ALTFILE).str(), "");
  }
  EXPECT_EQ(readFile(precious), "keep me");
  EXPECT_FALSE(fs::exists(dir.file("planted.txt")));

  // A new file gets the usual permissions: what the umask allows of rw for all.
  const mode_t mask = ::umask(022);
  SET(SET_ALTFILE, dir.file("new.log"));
  SET(SET_ALTFILE, "");
  ::umask(mask);
  EXPECT_EQ(fs::status(dir.file("new.log")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}
