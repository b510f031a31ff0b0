// The default error handler: the quiet cases, the text-mode alert and its
// answers, the windowed boxes, the session details and the error exit.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "errors/errormessage.h"
#include "errors/errorsys.h"
#include "runtime/console/appwindow.h"
#include "runtime/console/console.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/strings.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_runtime.h"
#include "support/test_storage.h"

namespace potclock {
namespace {

using Options = std::vector<std::string>;

// A headless program in text mode after start-up: handler installed, the
// root console as application window.
struct Program {
  TestRuntime t;
  Program() {
    ERRORSYS();
    auto crt = krx::ROOTCRT_New();
    crt->Create();
    krx::SETAPPWINDOW(krx::Item(crt));
  }
};

int failingLine = 0;
// The routine in which the error arises.
krx::Recovery failIn(const krx::ErrorRef& e) {
  KRX_ROUTINE("FAILING");
  failingLine = krx::PROCLINE(0);
  return krx::raise(e);
}

krx::ErrorRef error(int genCode, bool canRetry = false, bool canDefault = false) {
  auto e = krx::makeError(genCode, "Something failed", "FROB");
  e->canRetry = canRetry;
  e->canDefault = canDefault;
  return e;
}

TEST(ErrorSys, InstallsTheStandardHandler) {
  TestRuntime t;
  ERRORSYS();
  krx::Item handler = krx::ERRORBLOCK();
  ASSERT_TRUE(handler.isBlock());
  EXPECT_EQ(handler.block()->source(), "{|o| StandardEH(o)}");
  // It settles what the handler settles: a zero divisor yields 0, quietly.
  EXPECT_EQ(krx::macroEval("10 / 0").num(), 0);
  EXPECT_EQ(krx::macroEval("10 % 0").num(), 0);
  EXPECT_TRUE(t.hl.alerts.empty());
}

TEST(StandardEH, KnownCasesAreQuietAndTheirNearMissesShown) {
  Program p;
  auto zeroDiv = krx::makeError(krx::EG_ZERODIV, "Zero divisor", "/", {5, 0});
  EXPECT_EQ(STANDARDEH(zeroDiv).num(), 0);
  EXPECT_EQ(STANDARDEH(error(11)).num(), 0);
  auto sharing = error(71, false, true);
  sharing->osCode = 32;
  EXPECT_FALSE(STANDARDEH(sharing).logOr(true));
  EXPECT_FALSE(STANDARDEH(error(78, false, true)).logOr(true));
  EXPECT_TRUE(p.t.hl.alerts.empty());

  std::vector<krx::ErrorRef> shown{
      krx::makeError(krx::EG_ZERODIV, "Zero divisor", "+", {5, 0}),  // not a division
      krx::makeError(krx::EG_ZERODIV, "Zero divisor", "/", {5, 2}),  // divisor not 0
      krx::makeError(krx::EG_ZERODIV, "Zero divisor", "/"),          // no operands
      krx::makeError(krx::EG_ZERODIV, "Zero divisor", "/", {5, "0"}),
      error(71),  // sharing violation without a default
  };
  shown[2]->args = krx::makeArray();
  shown[4]->osCode = 32;
  for (const auto& e : shown) {
    p.t.hl.alertAnswers({1});  // Cancel
    EXPECT_THROW(STANDARDEH(e), krx::BreakSignal) << e->operation.str();
  }
  EXPECT_EQ(p.t.hl.alerts.size(), shown.size());
}

TEST(StandardEH, OptionsAndMessageOfTheAlert) {
  Program p;
  p.t.hl.alertAnswers({1, 1, 1});
  EXPECT_THROW(STANDARDEH(error(krx::EG_ARG)), krx::BreakSignal);
  EXPECT_THROW(STANDARDEH(error(krx::EG_ARG, true, true)), krx::BreakSignal);
  auto withOs = error(krx::EG_ARG, false, true);
  withOs->osCode = 2;
  EXPECT_THROW(STANDARDEH(withOs), krx::BreakSignal);

  ASSERT_EQ(p.t.hl.alerts.size(), 3u);
  EXPECT_EQ(p.t.hl.alerts[0].options, (Options{"Cancel", "Exit with LOG file"}));
  EXPECT_EQ(p.t.hl.alerts[1].options, (Options{"Cancel", "Exit with LOG file", "Retry", "Ignore"}));
  EXPECT_EQ(p.t.hl.alerts[2].options, (Options{"Cancel", "Exit with LOG file", "Ignore"}));
  // No operating-system line for code 0; its own line for the text otherwise.
  EXPECT_EQ(p.t.hl.alerts[0].text, ERRORMESSAGE(*error(krx::EG_ARG)));
  EXPECT_EQ(p.t.hl.alerts[2].text,
            ERRORMESSAGE(*withOs) + ";Operating system error : 2;" + krx::DOSERRORMESSAGE(2));
  EXPECT_EQ(p.t.hl.alerts[0].text.find("Called from"), std::string::npos);
}

TEST(StandardEH, AnswersOfTheAlert) {
  Program p;
  krx::SETPOS(7, 12);
  // Closed without a choice, or an answer that names no option: asked again.
  p.t.hl.alertAnswers({0, 9, 4});
  auto e = error(krx::EG_ARG, true, true);
  EXPECT_EQ(failIn(e).kind, krx::Recovery::Default);  // Ignore
  EXPECT_EQ(p.t.hl.alerts.size(), 3u);
  EXPECT_EQ(krx::ROW(), 7);
  EXPECT_EQ(krx::COL(), 12);

  p.t.hl.alertAnswers({3});
  EXPECT_EQ(failIn(e).kind, krx::Recovery::Retry);
  EXPECT_EQ(e->tries.num(), 1);

  p.t.hl.alertAnswers({1});
  krx::Item caught;
  krx::sequence([&] { failIn(e); }, [&](const krx::Item& v) { caught = v; });
  EXPECT_EQ(caught.as<krx::Error>(), e);  // Cancel breaks out with the error
}

TEST(StandardEH, ExitWithLogEndsTheProgramWithCodeOne) {
  Program p;
  TempCwd dir;
  p.t.hl.alertAnswers({2});
  EXPECT_THROW(failIn(error(krx::EG_ARG, true, true)), krx::QuitSignal);
  EXPECT_EQ(krx::ERRORLEVEL(), 1);
  const std::string log = readFile("KRXERROR.LOG");
  // The stack list starts at the routine in which the error arose.
  EXPECT_NE(log.find("CALLSTACK:\r\n" + std::string(78, '-') + "\r\nCalled from FAILING(" +
                     std::to_string(failingLine) + ")\r\n"),
            std::string::npos)
      << log;
  // The terminal is up: the report and the closing message show on it too,
  // and the message goes to standard error, which outlives the screen.
  EXPECT_NE(p.t.screenText().find("Error log was written to the file KRXERROR.LOG"),
            std::string::npos);
  EXPECT_EQ(p.t.hl.errorText, "\n\rError log was written to the file KRXERROR.LOG");
  EXPECT_EQ(krx::PROCNAME(0), "");  // every frame of the way out is gone
}

// The disk fills while the log is written. Whatever the user would answer
// to a question about that, the report of the error that ended the program
// reaches standard error whole, and nobody is told that a log was written.
TEST(StandardEH, ALogThatCannotBeWrittenWholeGoesToStandardError) {
  for (int laterAnswer : {3 /* Ignore */, 2 /* Exit with LOG file */}) {
    SCOPED_TRACE(laterAnswer);
    Program p;
    TempCwd dir;
    p.t.hl.alertAnswers({2, laterAnswer, laterAnswer, laterAnswer, laterAnswer, laterAnswer});
    {
      FileSizeLimit disk(300);
      EXPECT_THROW(failIn(error(krx::EG_ARG, true, true)), krx::QuitSignal);
    }
    EXPECT_EQ(krx::ERRORLEVEL(), 1);
    EXPECT_EQ(p.t.hl.alerts.size(), 1u);  // the error itself, and nothing else

    const std::string& err = p.t.hl.errorText;
    EXPECT_NE(err.find("\r\noError:description  : Something failed\r\n"), std::string::npos) << err;
    EXPECT_NE(err.find("\r\nCalled from FAILING(" + std::to_string(failingLine) + ")\r\n"),
              std::string::npos);
    EXPECT_EQ(err.find("Error log was written"), std::string::npos);
    const std::string closing =
        "\n\rError log could not be written to the file KRXERROR.LOG;"
        " the report was written to standard error";
    EXPECT_TRUE(err.ends_with(closing)) << err;
    EXPECT_NE(p.t.screenText().find("Error log could not be written"), std::string::npos);
  }
}

TEST(StandardEH, WithoutAWindowTheLogIsWrittenWithoutAsking) {
  TestRuntime t;
  TempCwd dir;
  ERRORSYS();
  EXPECT_THROW(failIn(error(krx::EG_ARG, true, true)), krx::QuitSignal);
  EXPECT_EQ(krx::ERRORLEVEL(), 1);
  EXPECT_TRUE(t.hl.alerts.empty());
  EXPECT_TRUE(std::filesystem::exists("KRXERROR.LOG"));
  EXPECT_EQ(t.hl.errorText, "\n\rError log was written to the file KRXERROR.LOG");
}

// A database session that has an error of its own, and the session class
// that hands out the default session.
class FakeSession : public krx::Object {
 public:
  FakeSession(int code, std::string message) : code_(code), message_(std::move(message)) {}
  std::string className() const override { return "DACSESSION"; }
  krx::Item send(std::string_view method, std::span<const krx::Item> args) override {
    const std::string m = krx::upperAscii(method);
    if (m == "GETLASTERROR") return code_;
    if (m == "GETLASTMESSAGE") return message_;
    if (m == "GETDEFAULT") return krx::Item(shared_from_this());
    return Object::send(method, args);
  }

 private:
  int code_;
  std::string message_;
};

TEST(StandardEH, SessionErrorGoesIntoCargoAndMessage) {
  Program p;
  TestStorage& store = useTestStorage();
  store.currentSession = krx::Item(std::make_shared<FakeSession>(0, "all well"));
  auto e = error(krx::EG_ARG);
  e->cargo = "mine";
  p.t.hl.alertAnswers({1});
  EXPECT_THROW(STANDARDEH(e), krx::BreakSignal);
  EXPECT_EQ(e->cargo.strOr(""), "mine");  // no session error: untouched

  store.currentSession = krx::Item(std::make_shared<FakeSession>(5001, "table is locked"));
  p.t.hl.alertAnswers({1});
  EXPECT_THROW(STANDARDEH(e), krx::BreakSignal);
  ASSERT_TRUE(e->cargo.isArray());
  const krx::Array& cargo = *e->cargo.array();
  ASSERT_EQ(cargo.size(), 3u);
  EXPECT_EQ(cargo[0].strOr(""), "mine");
  EXPECT_EQ(cargo[1].numOr(0), 5001);
  EXPECT_EQ(cargo[2].strOr(""), "table is locked");
  EXPECT_NE(p.t.hl.alerts.back().text.find(";mine;table is locked"), std::string::npos);

  // With no current session, the session class gives the default one.
  store.currentSession = krx::Item();
  p.t.rt.registry.add("DACSESSION", 0, [](std::span<const krx::Item>) {
    return krx::Item(std::make_shared<FakeSession>(7, "from the class"));
  });
  auto other = error(krx::EG_ARG);
  p.t.hl.alertAnswers({1});
  EXPECT_THROW(STANDARDEH(other), krx::BreakSignal);
  EXPECT_NE(p.t.hl.alerts.back().text.find(";from the class"), std::string::npos);
}

struct WindowedProgram : Program {
  WindowedProgram() { t.hl.applicationType = 3; }
};

TEST(StandardEH, WindowedButtonsFollowWhatTheErrorAllows) {
  WindowedProgram p;
  p.t.hl.alertAnswers({1, 3});  // Retry; Ignore
  EXPECT_EQ(failIn(error(krx::EG_ARG, true, false)).kind, krx::Recovery::Retry);
  EXPECT_EQ(failIn(error(krx::EG_ARG, true, true)).kind, krx::Recovery::Default);
  ASSERT_EQ(p.t.hl.alerts.size(), 2u);
  EXPECT_EQ(p.t.hl.alerts[0].options, (Options{"Retry", "Cancel"}));
  EXPECT_EQ(p.t.hl.alerts[1].options, (Options{"Abort", "Retry", "Ignore"}));

  // The box lists the call stack from the routine in which the error arose.
  auto e = error(krx::EG_ARG, true, false);
  const std::string expected =
      ERRORMESSAGE(*e) + ";Called from FAILING(" + std::to_string(failingLine) + ")";
  EXPECT_EQ(p.t.hl.alerts[0].text, expected);

  // Retry and Cancel: Cancel asks whether to exit; No breaks out.
  p.t.hl.alertAnswers({2, 2});
  krx::Item caught;
  krx::sequence([&] { failIn(e); }, [&](const krx::Item& v) { caught = v; });
  EXPECT_EQ(caught.as<krx::Error>(), e);
  ASSERT_EQ(p.t.hl.alerts.size(), 4u);
  EXPECT_EQ(p.t.hl.alerts[3].text, "Exit with LOG file");
  EXPECT_EQ(p.t.hl.alerts[3].options, (Options{"Yes", "No"}));
  EXPECT_EQ(krx::ERRORLEVEL(), 0);
}

TEST(StandardEH, WindowedErrorExits) {
  // Neither flag: OK alone, which writes the log; Cancel then Yes; Abort.
  struct Case {
    bool canRetry, canDefault;
    std::vector<int> answers;
    Options firstBox;
  };
  const std::vector<Case> cases{
      {false, false, {1, 1}, {"OK"}},
      {false, true, {2, 1, 1}, {"OK", "Cancel"}},
      {true, true, {1, 1}, {"Abort", "Retry", "Ignore"}},
  };
  for (const Case& c : cases) {
    WindowedProgram p;
    TempCwd dir;
    for (int a : c.answers) p.t.hl.alertAnswers({a});
    EXPECT_THROW(failIn(error(krx::EG_ARG, c.canRetry, c.canDefault)), krx::QuitSignal);
    EXPECT_EQ(krx::ERRORLEVEL(), 1);
    EXPECT_TRUE(std::filesystem::exists("KRXERROR.LOG"));
    ASSERT_EQ(p.t.hl.alerts.size(), c.answers.size());
    EXPECT_EQ(p.t.hl.alerts.front().options, c.firstBox);
    EXPECT_EQ(p.t.hl.alerts.back().text, "Error log was written to the file KRXERROR.LOG");
  }
}

}  // namespace
}  // namespace potclock
