// The start routine with the program's own frame routines, as a real start
// runs them: what the user meets when a routine fails in a way the runtime
// did not foresee, and what the console window set-up makes of an error.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "errors/errorsys.h"
#include "frame/entry.h"
#include "frame/publics.h"
#include "kept/dbesys.h"
#include "runtime/backends/headless.h"
#include "runtime/backends/startup.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "support/temp_dir.h"

namespace potclock {
namespace {

// What the run left behind, copied by the last exit procedure, while the
// backend still exists.
struct Seen {
  std::vector<krx::HeadlessBackend::AlertRecord> alerts;
  std::string errorText;
  bool exitRan = false;
  bool hadWindow = false;
};
Seen seen;
krx::HeadlessBackend* backend = nullptr;
std::vector<int> answers;

void recordAtExit() {
  seen.exitRan = true;
  seen.alerts = backend->alerts;
  seen.errorText = backend->errorText;
}
const krx::ModuleTables kModules{{}, registerPublicRoutines};
void registerExit() {
  krx::registerExitProcedure(APPEXIT);
  krx::registerExitProcedure(recordAtExit);
}

// The program's start-up record with a MAIN of the test's.
int start(void (*main)(), bool withErrorsys = true) {
  seen = {};
  krx::StartupRecord record;
  record.modules = &kModules;
  record.registerExit = registerExit;
  record.errorsys = withErrorsys ? ERRORSYS : nullptr;
  record.dbesys = DBESYS;
  record.appsys = APPSYS;
  record.appexit = APPEXIT;
  record.main = main;
  return krx::krxStart(record, [] {
    auto hl = std::make_unique<krx::HeadlessBackend>();
    backend = hl.get();
    for (int a : answers) hl->alertAnswers({a});
    return hl;
  });
}

int throwLine = 0;
void levelOfTable() {
  KRX_ROUTINE("LEVELAT");
  KRX_LINE(), throwLine = __LINE__;
  throw std::out_of_range("no level 64 in the table");
}
void timerThatFails() {
  KRX_ROUTINE("MAIN");
  levelOfTable();
}

// A break caught on the way does not leave its routine behind as the one
// to blame for a later failure.
void breaksOut() {
  KRX_ROUTINE("INNER");
  krx::BREAK();
}
void failsAfterACaughtBreak() {
  KRX_ROUTINE("MAIN");
  krx::sequence(breaksOut);
  throw std::runtime_error("after the break");
}

// A failure of the C++ library inside a routine is a runtime error of that
// routine: the user is asked as for any other, and the log names it.
TEST(ForeignFailure, InARoutineReachesTheHandlerAndTheLog) {
  TempCwd dir;
  answers = {2};  // Exit with LOG file
  EXPECT_EQ(start(timerThatFails), 1);
  EXPECT_TRUE(seen.exitRan);
  ASSERT_EQ(seen.alerts.size(), 1u);
  EXPECT_NE(seen.alerts[0].text.find("Description : no level 64 in the table"), std::string::npos)
      << seen.alerts[0].text;
  EXPECT_EQ(seen.alerts[0].options, (std::vector<std::string>{"Cancel", "Exit with LOG file"}));
  const std::string log = readFile("KRXERROR.LOG");
  EXPECT_NE(log.find("\r\noError:description  : no level 64 in the table\r\n"), std::string::npos)
      << log;
  EXPECT_NE(
      log.find("\r\nCalled from LEVELAT(" + std::to_string(throwLine) + ")\r\nCalled from MAIN("),
      std::string::npos)
      << log;

  answers = {2};
  EXPECT_EQ(start(failsAfterACaughtBreak), 1);
  EXPECT_NE(readFile("KRXERROR.LOG")
                .find("CALLSTACK:\r\n" + std::string(78, '-') + "\r\nCalled from MAIN("),
            std::string::npos)
      << readFile("KRXERROR.LOG");

  // Cancel: nowhere to go back to, so the program still ends, with code 1.
  answers = {1};
  EXPECT_EQ(start(timerThatFails), 1);
  EXPECT_EQ(seen.alerts.size(), 1u);
  EXPECT_TRUE(seen.exitRan);
}

// With nobody to ask, or no routine to blame, the program still ends the
// normal way: exit procedures, a message on standard error, code 1.
TEST(ForeignFailure, WithNoHandlerOrNoRoutineEndsWithAMessage) {
  struct Case {
    const char* name;
    void (*main)();
    bool withErrorsys;
    const char* message;
  };
  const Case cases[] = {
      {"no handler yet", timerThatFails, false, "no level 64 in the table"},
      {"outside any routine", [] { throw std::bad_alloc(); }, true, "std::bad_alloc"},
      {"not even a standard one", [] { throw 42; }, true, "unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempCwd dir;
    answers = {};
    EXPECT_EQ(start(c.main, c.withErrorsys), 1);
    EXPECT_TRUE(seen.exitRan);
    EXPECT_TRUE(seen.alerts.empty());
    EXPECT_NE(seen.errorText.find(c.message), std::string::npos) << seen.errorText;
  }
}

// After a real start-up the program runs in text mode with the console as
// its window, so an error is put to the user as a question; without that
// window every error would write a log and end the program.
TEST(ConsoleWindow, AfterStartUpAnErrorIsAskedAboutNotLogged) {
  TempCwd dir;
  answers = {3};  // Cancel, Exit with LOG file, Ignore
  static bool carriedOn;
  carriedOn = false;
  EXPECT_EQ(start([] {
              KRX_ROUTINE("MAIN");
              auto e = krx::makeError(krx::EG_ARG, "Argument error", "+");
              e->canDefault = true;
              krx::raise(e);
              carriedOn = true;
            }),
            0);
  ASSERT_EQ(seen.alerts.size(), 1u);
  EXPECT_EQ(seen.alerts[0].options,
            (std::vector<std::string>{"Cancel", "Exit with LOG file", "Ignore"}));
  EXPECT_TRUE(carriedOn);
  EXPECT_FALSE(std::filesystem::exists("KRXERROR.LOG"));
}

}  // namespace
}  // namespace potclock
