// The lines of the call stack: each routine on it shows the line it is
// running, not the line where it starts, in the error log and in what a read
// hands to its key-bound callables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors/errorsys.h"
#include "forms/accessors.h"
#include "forms/readmodal.h"
#include "forms/readstatus.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/console/get.h"
#include "runtime/lang/compiler.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

// A headless program in text mode after start-up, with a form of one field.
struct Program {
  TestRuntime t;
  krx::VarRef level = krx::makeVar(1);
  krx::GetRef get;

  Program() {
    ERRORSYS();
    auto crt = krx::ROOTCRT_New();
    crt->Create();
    krx::SETAPPWINDOW(krx::Item(crt));
    get = krx::Get::New(4, 33, ANCHORCB(level), "nLevel", "999");
  }
};

int readLine = 0;
// The routine that reads the form, as the setup dialogue does.
void keyForm(const krx::GetRef& get) {
  KRX_ROUTINE("KEYFORM");
  auto list = krx::makeArray({krx::Item(get)});
  readLine = __LINE__ + 1;
  READMODAL(list);
}

// The "Called from" lines of the log, without their prefix.
std::vector<std::string> callStack(const std::string& log) {
  std::vector<std::string> out;
  const std::string prefix = "\r\nCalled from ";
  for (auto at = log.find(prefix); at != std::string::npos; at = log.find(prefix, at + 1)) {
    const auto start = at + prefix.size();
    out.push_back(log.substr(start, log.find("\r\n", start) - start));
  }
  return out;
}

// The routine name of a stack line and its line number.
std::string nameOf(const std::string& line) {
  return line.substr(0, line.find('('));
}
std::string lineOf(const std::string& line) {
  const auto open = line.find('(');
  return line.substr(open + 1, line.size() - open - 2);
}

// Runs the form until an error in the WHEN or the VALID callable ends the
// program through "Exit with LOG file"; returns the stack of the log.
std::vector<std::string> stackOfFailingForm(bool inWhen) {
  Program p;
  TempCwd dir;
  const krx::Item failing(krx::compileBlock("{|| NoSuchRoutine()}"));
  (inWhen ? p.get->preBlock : p.get->postBlock) = failing;
  p.t.hl.alertAnswers({2});
  p.t.hl.keys({krx::K_ENTER});
  EXPECT_THROW(keyForm(p.get), krx::QuitSignal);
  return callStack(readFile("KRXERROR.LOG"));
}

TEST(CallStack, TheLogShowsTheLineEachRoutineIsRunning) {
  const auto inValid = stackOfFailingForm(false);
  const auto inWhen = stackOfFailingForm(true);
  ASSERT_GE(inValid.size(), 5u);
  ASSERT_GE(inWhen.size(), 5u);

  // From the callable that failed down to the routine that started the read.
  EXPECT_EQ(nameOf(inValid[1]), "GETPOSTVALIDATE");
  EXPECT_EQ(nameOf(inWhen[1]), "GETPREVALIDATE");
  for (const auto* stack : {&inValid, &inWhen}) {
    EXPECT_EQ(nameOf((*stack)[2]), "GETREADER");
    EXPECT_EQ(nameOf((*stack)[3]), "READMODAL");
    EXPECT_EQ((*stack)[4], "KEYFORM(" + std::to_string(readLine) + ")");
  }
  // The reader stands on the line of the gate it is in; the read on the
  // line where it runs the reader, the same in both cases.
  EXPECT_NE(lineOf(inValid[2]), lineOf(inWhen[2]));
  EXPECT_EQ(lineOf(inValid[3]), lineOf(inWhen[3]));
}

TEST(CallStack, KeyBoundCallablesReceiveTheLineOfTheRead) {
  Program p;
  krx::Item seenName, seenLine;
  krx::SETKEY(-1, krx::Item(krx::makeBlock("{|p, l, v| seen}", [&](std::span<const krx::Item> a) {
    seenName = a[0];
    seenLine = a[1];
    return krx::Item();
  })));
  p.t.hl.keys({-1, krx::K_ENTER});
  keyForm(p.get);
  EXPECT_EQ(seenName.strOr(""), "KEYFORM");
  EXPECT_EQ(seenLine.numOr(0), readLine);
}

}  // namespace
}  // namespace potclock
