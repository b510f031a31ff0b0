// How a runtime error travels: from the failing operation to the installed
// handler, and back as retry, default or substitute; or out as a break to the
// innermost recovery region, with temporary handlers restored on the way.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/console/context.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"
#include "runtime/lang/item.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {}  // namespace

TEST(ErrorFlow, RetryRepeatsTheOperationOnlyWhenTheErrorAllowsIt) {
  TestRuntime t;
  ErrorRecorder rec;
  // The handler mends the cause on its second call and asks for a retry.
  rec.answer = [&](const ErrorRef& e) {
    if (e->tries.num() >= 1) t.rt.memvars.definePublic("nLate", 5);
    return Item(true);
  };
  EXPECT_EQ(macroEval("M->nLate * 2").num(), 10);
  ASSERT_EQ(rec.errors.size(), 2u);
  EXPECT_EQ(rec.errors[0], rec.errors[1]);  // one error object, its tries counted
  EXPECT_EQ(rec.errors[1]->tries.num(), 2);

  // A routine registered by the handler is found on the retry.
  rec.errors.clear();
  rec.answer = [&](const ErrorRef&) {
    t.rt.registry.add("LATECOMER", 1, [](std::span<const Item> a) { return a[0]; });
    return Item(true);
  };
  EXPECT_EQ(macroEval("LateComer('here')").str(), "here");
  EXPECT_EQ(rec.errors.size(), 1u);

  // A syntax error cannot be retried: .T. reads as the default.
  rec.errors.clear();
  EXPECT_EQ(compileBlock("{|| )}"), nullptr);
  EXPECT_EQ(rec.errors.size(), 1u);
}

TEST(ErrorFlow, DefaultAndSubstituteAnswers) {
  TestRuntime t;
  ErrorRecorder rec;
  EXPECT_TRUE(macroEval("NoSuchRoutine(1)").isNil());  // default: nil
  EXPECT_EQ(macroEval("1 / 0").num(), 0);              // default of a zero divisor: 0

  rec.answer = [](const ErrorRef&) { return Item(99); };
  EXPECT_EQ(macroEval("NoSuchRoutine(1)").num(), 99);
  EXPECT_EQ(macroEval("'a' * 2").num(), 99);
  // Where the error allows no substitute, the answer is the default.
  auto e = makeError(EG_ARG, "no stand-in", "test");
  e->canSubstitute = false;
  EXPECT_EQ(raise(e).kind, Recovery::Default);
}

TEST(ErrorFlow, ZeroDivisorWithAHandlerThatAnswersZero) {
  TestRuntime t;
  // The handler itself is compiled text, as a program would keep it.
  ScopedErrorBlock handler(Item(compileBlock(
      "{|e| IIf(e:genCode == 12 .AND. ('/' $ e:operation .OR. '%' $ e:operation), 0, .F.)}")));
  EXPECT_EQ(macroEval("10 / 0").num(), 0);
  EXPECT_EQ(macroEval("10 % 0").num(), 0);
  EXPECT_EQ(macroEval("1 + 10 / 0").num(), 1);  // evaluation goes on with the substitute
  EXPECT_EQ(macroEval("10 / 4").num(), 2.5);
}

TEST(ErrorFlow, NestedRecoveryRegions) {
  TestRuntime t;
  ScopedErrorBlock breaker(Item(compileBlock("{|e| Break(e)}")));
  std::vector<std::string> trail;
  sequence(
      [&] {
        sequence([&] { macroEval("M->nMissing"); },
                 [&](const Item& v) {
                   // The innermost region receives the error object.
                   trail.push_back("inner " + v.as<Error>()->description.str());
                 });
        trail.push_back("after inner");
        sequence([&] { BREAK("first"); },
                 [&](const Item& v) {
                   trail.push_back("second " + v.str());
                   BREAK("rethrown");  // a break in a recover clause leaves the outer region
                 });
        trail.push_back("not reached");
      },
      [&](const Item& v) { trail.push_back("outer " + v.str()); });
  std::vector<std::string> expected{"inner Variable does not exist: nMissing", "after inner",
                                    "second first", "outer rethrown"};
  EXPECT_EQ(trail, expected);

  // A break from a callable deep inside built-ins unwinds every activation.
  Item caught;
  sequence([&] { macroEval("AEval(Array(2), {|| AEval(Array(2), {|| Break('deep')})})"); },
           [&](const Item& v) { caught = v; });
  EXPECT_EQ(caught.strOr(""), "deep");
  EXPECT_EQ(t.rt.memvars.activationDepth(), 0u);
}

TEST(ErrorFlow, TemporaryHandlerIsRestoredOnEveryPath) {
  TestRuntime t;
  ErrorRecorder outer;
  const Item installed = ERRORBLOCK();
  auto withTemporary = [&](const std::function<void()>& body) {
    ScopedErrorBlock quiet(Item(compileBlock("{|e| Break(e)}")));
    EXPECT_NE(ERRORBLOCK().block()->source(), installed.block()->source());
    body();
  };

  withTemporary([] {});
  EXPECT_TRUE(ERRORBLOCK().same(installed));

  sequence([&] { withTemporary([] { macroEval("M->nMissing"); }); });
  EXPECT_TRUE(ERRORBLOCK().same(installed));

  EXPECT_THROW(withTemporary([] { _QUIT(); }), QuitSignal);
  EXPECT_TRUE(ERRORBLOCK().same(installed));

  EXPECT_THROW(withTemporary([] { throw std::runtime_error("foreign"); }), std::runtime_error);
  EXPECT_TRUE(ERRORBLOCK().same(installed));

  // The probe pattern: an error inside the region never reaches the outer
  // handler, and the region is left quietly.
  Item result = "untouched";
  withTemporary([&] { sequence([&] { result = macroEval("M->nMissing"); }); });
  EXPECT_EQ(result.str(), "untouched");
  EXPECT_TRUE(outer.errors.empty());
}

TEST(ErrorFlow, OneFailingStepOfManyIsRecoveredAndTheRestGoOn) {
  TestRuntime t;
  ScopedErrorBlock breaker(Item(compileBlock("{|e| Break(e)}")));
  std::vector<std::string> done;
  for (const char* step : {"'one'", "1 + 'two'", "'three'"}) {
    sequence([&] { done.push_back(macroEval(step).str()); },
             [&](const Item& v) { done.push_back("recovered " + v.as<Error>()->operation.str()); });
  }
  std::vector<std::string> expected{"one", "recovered +", "three"};
  EXPECT_EQ(done, expected);
}

TEST(ErrorFlow, HandlerThatFailsItselfEndsTheProgramInsteadOfRecursing) {
  TestRuntime t;
  ScopedErrorBlock failing(Item(compileBlock("{|e| AlsoMissing(e)}")));
  EXPECT_THROW(macroEval("Missing()"), QuitSignal);
  EXPECT_EQ(ERRORLEVEL(), 1);
  EXPECT_EQ(t.rt.memvars.activationDepth(), 0u);
}

TEST(ErrorFlow, WithoutAHandlerAnErrorEndsTheProgramWithExitCode1) {
  TestRuntime t;
  ERRORBLOCK(Item());
  EXPECT_THROW(macroEval("M->nMissing"), QuitSignal);
  EXPECT_EQ(ERRORLEVEL(), 1);
  EXPECT_NE(t.hl.errorText.find("nMissing"), std::string::npos);
}
