// The error log: the file it picks, the report line by line, what the user is
// told, and the output settings left as they were.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "errors/errorlog.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

namespace fs = std::filesystem;

const std::string kRule(78, '-');

// The text-mode program as it runs: the root console is the application window.
void withConsoleWindow() {
  auto crt = krx::ROOTCRT_New();
  crt->Create();
  krx::SETAPPWINDOW(krx::Item(crt));
}

krx::ErrorRef sampleError() {
  auto e = krx::makeError(krx::EG_ARG, "Argument error", "+", {1.5, "chips", krx::Item()});
  e->args.array()->push_back(krx::Item(krx::makeError(krx::EG_BOUND, "inner")));
  e->subCode = 1081;
  e->canSubstitute = true;
  e->osCode = 2;
  e->filename = "BLINDS.DBF";
  return e;
}

int innerLine = 0, outerLine = 0;
void innerLog(const krx::ErrorRef& e, int nStack) {
  KRX_ROUTINE("INNER");
  innerLine = krx::PROCLINE(0);
  ERRORLOG(e, nStack);
}
void outerLog(const krx::ErrorRef& e, int nStack) {
  KRX_ROUTINE("OUTER");
  outerLine = krx::PROCLINE(0);
  innerLog(e, nStack);
}

std::string crlfLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += "\r\n" + l;
  return out;
}

TEST(ErrorLog, ReportLayoutLineByLine) {
  TestRuntime t;
  TempCwd dir;
  withConsoleWindow();
  // An older, longer log is replaced, not extended.
  { std::ofstream("KRXERROR.LOG") << std::string(5000, 'x'); }

  outerLog(sampleError(), 0);

  const std::string expected = crlfLines({
      kRule,
      "ERROR LOG of \"" + krx::APPNAME(true) + "\" Date: 12/07/26 20:00:00",
      "",
      "Kestrix version     : " + krx::VERSION() + "." + krx::VERSION(3),
      "Operating system    : " + krx::OS(),
      kRule,
      "oError:args         :",
      "          -> VALTYPE: N VALUE: 1.5",
      "          -> VALTYPE: C VALUE: chips",
      "          -> VALTYPE: U VALUE: NIL",
      "          -> VALTYPE: O CLASS: ERROR",
      "oError:canDefault   : .F.",
      "oError:canRetry     : .F.",
      "oError:canSubstitute: .T.",
      "oError:cargo        : NIL",
      "oError:description  : Argument error",
      "oError:filename     : BLINDS.DBF",
      "oError:genCode      :          1",
      "oError:operation    : +",
      "oError:osCode       :          2",
      "oError:severity     :          2",
      "oError:subCode      :       1081",
      "oError:subSystem    : BASE",
      "oError:thread       :          1",
      "oError:tries        :          0",
      kRule,
      "CALLSTACK:",
      kRule,
      "Called from INNER(" + std::to_string(innerLine) + ")",
      "Called from OUTER(" + std::to_string(outerLine) + ")",
      "",
  });
  EXPECT_EQ(readFile("KRXERROR.LOG"), expected);
  EXPECT_EQ(krx::VERSION(), "1.82");

  // The user is told where it went, on the screen, with a tone.
  ASSERT_EQ(t.hl.tones.size(), 1u);
  EXPECT_EQ(t.hl.tones[0].hz, 660);
  EXPECT_NE(t.screenText().find("Error log was written to the file KRXERROR.LOG"),
            std::string::npos);
  EXPECT_NE(t.screenText().find("CALLSTACK:"), std::string::npos);  // the console saw it too
  // ...and on standard error, which outlives the program's screen.
  EXPECT_EQ(t.hl.errorText, "\n\rError log was written to the file KRXERROR.LOG");
  EXPECT_TRUE(t.hl.alerts.empty());
}

TEST(ErrorLog, ArgumentsNilOrEmptyAndTheStackLevel) {
  TestRuntime t;
  TempCwd dir;
  withConsoleWindow();
  auto e = krx::makeError(krx::EG_ARG, "x");
  ASSERT_TRUE(e->args.isNil());
  outerLog(e, 1);  // one level further up: INNER is skipped
  std::string log = readFile("KRXERROR.LOG");
  EXPECT_NE(log.find("\r\noError:args         :\r\n           -> NIL\r\noError:canDefault"),
            std::string::npos);
  EXPECT_EQ(log.find("Called from INNER"), std::string::npos);
  EXPECT_NE(log.find("CALLSTACK:\r\n" + kRule + "\r\nCalled from OUTER("), std::string::npos);

  e->args = krx::makeArray();
  outerLog(e, 0);
  log = readFile("KRXERROR.LOG");
  EXPECT_NE(log.find("\r\noError:args         :\r\noError:canDefault"), std::string::npos);
}

TEST(ErrorLog, FallsBackToNumberedNamesWhenTheLogCannotBeOpened) {
  TestRuntime t;
  TempCwd dir;
  withConsoleWindow();
  fs::create_directory("KRXERROR.LOG");  // unwritable, even for root
  ERRORLOG(sampleError(), 0);
  EXPECT_NE(readFile("KRXERROR.001").find("CALLSTACK:"), std::string::npos);
  EXPECT_NE(t.screenText().find("Error log was written to the file KRXERROR.001"),
            std::string::npos);

  fs::create_directory("KRXERROR.002");
  fs::remove("KRXERROR.001");
  fs::create_directory("KRXERROR.001");
  ERRORLOG(sampleError(), 0);
  EXPECT_NE(readFile("KRXERROR.003").find("CALLSTACK:"), std::string::npos);
  // The open failures never reached the user.
  EXPECT_TRUE(t.hl.alerts.empty());
}

// What someone else may have put in the current directory under the log's
// name. None of it is written to: the report goes to the next name.
TEST(ErrorLog, NeverWritesThroughALinkOrIntoAnythingButARegularFile) {
  enum Kind { LinkToFile, HardLinkToFile, DanglingLink, Fifo, FifoWithReader, Directory };
  for (Kind kind : {LinkToFile, HardLinkToFile, DanglingLink, Fifo, FifoWithReader, Directory}) {
    SCOPED_TRACE(kind);
    TestRuntime t;
    TempCwd dir;
    withConsoleWindow();
    int reader = -1;
    switch (kind) {
      case LinkToFile: {
        std::ofstream("precious.txt") << "the user's own file";
      }
        fs::create_symlink("precious.txt", "KRXERROR.LOG");
        break;
      case HardLinkToFile:
        std::ofstream("precious.txt") << "the user's own file";
        fs::create_hard_link("precious.txt", "KRXERROR.LOG");
        break;
      case DanglingLink:
        fs::create_symlink("planted.txt", "KRXERROR.LOG");
        break;
      case Fifo:
      case FifoWithReader:
        ASSERT_EQ(::mkfifo("KRXERROR.LOG", 0600), 0);
        if (kind == FifoWithReader) reader = ::open("KRXERROR.LOG", O_RDONLY | O_NONBLOCK);
        break;
      case Directory:
        fs::create_directory("KRXERROR.LOG");
        break;
    }

    ERRORLOG(sampleError(), 0);

    EXPECT_NE(readFile("KRXERROR.001").find("CALLSTACK:"), std::string::npos);
    EXPECT_NE(t.screenText().find("Error log was written to the file KRXERROR.001"),
              std::string::npos);
    EXPECT_TRUE(t.hl.alerts.empty());
    if (kind == LinkToFile || kind == HardLinkToFile) {
      EXPECT_EQ(readFile("precious.txt"), "the user's own file");
    }
    if (kind == DanglingLink) {
      EXPECT_FALSE(fs::exists("planted.txt"));
    }
    if (reader >= 0) {
      char byte;
      EXPECT_EQ(::read(reader, &byte, 1), 0);  // nothing was ever written into the pipe
      ::close(reader);
    }
  }
}

// The last name is still tried: a directory full of old logs does not lose
// the report.
TEST(ErrorLog, TheLastNumberedNameIsUsedWhenAllOthersAreTaken) {
  TestRuntime t;
  TempCwd dir;
  withConsoleWindow();
  // Links are quicker to make than directories, and are never written through.
  fs::create_symlink("elsewhere", "KRXERROR.LOG");
  for (int n = 1; n <= 998; ++n)
    fs::create_symlink("elsewhere", krx::PADL(std::to_string(n), 3, '0').insert(0, "KRXERROR."));
  ERRORLOG(sampleError(), 0);
  EXPECT_NE(readFile("KRXERROR.999").find("CALLSTACK:"), std::string::npos);
  EXPECT_EQ(t.hl.errorText, "\n\rError log was written to the file KRXERROR.999");
}

TEST(ErrorLog, WithoutAConsoleWindowTheReportGoesToTheFileOnly) {
  for (bool otherWindow : {false, true}) {
    TestRuntime t;
    TempCwd dir;
    // No window at all, or one that is not a console.
    if (otherWindow) krx::SETAPPWINDOW(krx::Item(krx::makeError(1, "not a window")));
    const std::string before = t.screenText();
    ERRORLOG(sampleError(), 0);
    EXPECT_EQ(t.screenText(), before);
    EXPECT_NE(readFile("KRXERROR.LOG").find("CALLSTACK:"), std::string::npos);
    EXPECT_EQ(t.hl.errorText, "\n\rError log was written to the file KRXERROR.LOG");
    EXPECT_EQ(t.hl.tones.size(), 1u);
  }
}

TEST(ErrorLog, SettingsAndHandlerAreAsTheyWere) {
  TestRuntime t;
  TempCwd dir;
  withConsoleWindow();
  krx::Item handler = krx::Item(krx::makeBlock("{|e| Mine(e)}", [](auto) { return krx::Item(); }));
  krx::ERRORBLOCK(handler);
  krx::SET(krx::SET_PRINTER, true);
  krx::SET(krx::SET_CONSOLE, false);
  krx::SET(krx::SET_EXTRA, true);
  // An alternate file in use keeps what it had and goes on taking output.
  krx::SET(krx::SET_ALTFILE, "ALT.TXT");
  krx::SET(krx::SET_ALTERNATE, true);
  krx::QOUT({"before"});

  ERRORLOG(sampleError(), 0);

  EXPECT_TRUE(krx::ERRORBLOCK().block() == handler.block());
  EXPECT_EQ(krx::SET(krx::SET_PRINTER).logOr(false), true);
  EXPECT_EQ(krx::SET(krx::SET_CONSOLE).logOr(true), false);
  EXPECT_EQ(krx::SET(krx::SET_EXTRA).logOr(false), true);
  EXPECT_EQ(krx::SET(krx::SET_ALTERNATE).logOr(false), true);
  EXPECT_EQ(krx::SET(krx::SET_ALTFILE).strOr(""), "ALT.TXT");
  krx::QOUT({"after"});
  EXPECT_EQ(readFile("ALT.TXT"), "\r\nbefore\r\nafter");
  EXPECT_EQ(readFile("KRXERROR.LOG").find("before"), std::string::npos);
  // The console was on during the log (there is a console window): the
  // closing message went to the screen, and to standard error to outlive it.
  EXPECT_EQ(t.hl.errorText, "\n\rError log was written to the file KRXERROR.LOG");
}

TEST(ErrorLog, GivesUpAfterTheLastNumberedName) {
  TestRuntime t;
  TempCwd dir;
  fs::create_symlink("elsewhere", "KRXERROR.LOG");
  for (int n = 1; n <= 999; ++n)
    fs::create_symlink("elsewhere", krx::PADL(std::to_string(n), 3, '0').insert(0, "KRXERROR."));
  EXPECT_THROW(ERRORLOG(sampleError(), 0), krx::QuitSignal);
  EXPECT_EQ(krx::ERRORLEVEL(), 1);
  // The report is not lost with the file: it goes to standard error, before
  // the closing word.
  const std::string& err = t.hl.errorText;
  EXPECT_TRUE(err.starts_with("\r\n" + kRule + "\r\nERROR LOG of ")) << err;
  EXPECT_NE(err.find("\r\noError:description  : Argument error\r\n"), std::string::npos);
  EXPECT_TRUE(
      err.ends_with("\r\nCALLSTACK:\r\n" + kRule + "\r\n\n\rUnable to open error log file"));
  EXPECT_EQ(t.hl.tones.size(), 1u);
  EXPECT_FALSE(fs::exists("KRXERROR.1000"));
}

}  // namespace
}  // namespace potclock
