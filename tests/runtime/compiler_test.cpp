#include "runtime/lang/compiler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/backends/headless.h"
#include "runtime/console/context.h"
#include "runtime/console/kept/workarea.h"
#include "runtime/lang/error.h"
#include "runtime/lang/memvar.h"
#include "runtime/lang/registry.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {

// A public routine that records the arguments it was given.
struct Recorder {
  std::vector<std::vector<Item>> calls;
  Item result = true;
  void registerAs(Registry& registry, const char* name, int params) {
    registry.add(name, params, [this](std::span<const Item> args) {
      calls.emplace_back(args.begin(), args.end());
      return result;
    });
  }
};

// A minimal object with one member and two methods, as `o:name` reaches them.
class Probe : public Object {
 public:
  Item value = 1;
  int setDataCalls = 0;
  std::string className() const override { return "PROBE"; }
  Item getMember(std::string_view name) override {
    if (upperAscii(name) == "VALUE") return value;
    return Object::getMember(name);
  }
  void setMember(std::string_view name, const Item& v) override {
    if (upperAscii(name) == "VALUE") {
      value = v;
      return;
    }
    Object::setMember(name, v);
  }
  Item send(std::string_view method, std::span<const Item> args) override {
    if (upperAscii(method) == "SETDATA") return ++setDataCalls;
    if (upperAscii(method) == "TWICE") return args.empty() ? Item() : multiply(args[0], 2);
    return Object::send(method, args);
  }
};

}  // namespace

// --- The texts the program stores ------------------------------------------

TEST(Compiler, AnchorTextReadsAndWritesTheBoundVariable) {
  TestRuntime t;
  VarRef anyVar = makeVar(7);
  BlockRef b = compileBlock("{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }", {{"AnyVar", anyVar}});
  ASSERT_TRUE(b);
  EXPECT_EQ(b->source(), "{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }");
  EXPECT_EQ(b->eval().num(), 7);
  EXPECT_EQ(b->eval({5}).num(), 5);
  EXPECT_EQ(anyVar->num(), 5);
  EXPECT_EQ(b->eval().num(), 5);
  // An explicit nil is an argument: it is stored.
  EXPECT_TRUE(b->eval({Item()}).isNil());
  EXPECT_TRUE(anyVar->isNil());
}

TEST(Compiler, FieldTextsReadAndWriteInTheirArea) {
  TestRuntime t;
  dbOpenMemory("CUST", {"NAME", "AGE"}, {{"Ann", 30}}, 2);
  dbOpenMemory("ITEMS", {"NAME"}, {{"pen"}}, 1);
  ASSERT_EQ(SELECT(), 1);

  BlockRef current = compileBlock("{|x| IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x) }");
  EXPECT_EQ(current->eval().str(), "pen");
  EXPECT_EQ(current->eval({"ink"}).str(), "ink");
  EXPECT_EQ(fieldGet("NAME").str(), "ink");

  BlockRef byNumber = compileBlock("{|x| (2)->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }");
  BlockRef byAlias = compileBlock("{|x| CUST->(IIf(x==NIL,FIELD->NAME,FIELD->NAME:=x)) }");
  EXPECT_EQ(byNumber->eval().str(), "Ann");
  byAlias->eval({"Bob"});
  EXPECT_EQ(byNumber->eval().str(), "Bob");
  EXPECT_EQ(SELECT(), 1);  // the aliased call restores the current area
  EXPECT_EQ(macroEval("CUST->AGE").num(), 30);
  EXPECT_EQ(macroEval("CUST->AGE := 31, (2)->AGE").num(), 31);
  EXPECT_EQ(SELECT(), 1);
}

TEST(Compiler, MemvarTextReadsAndWritesTheDynamicVariable) {
  TestRuntime t;
  VarRef count = t.rt.memvars.definePublic("nCount", 3);
  BlockRef b = compileBlock("{|x| IIf(x==NIL,M->nCount,M->nCount:=x) }");
  EXPECT_EQ(b->eval().num(), 3);
  EXPECT_EQ(b->eval({4}).num(), 4);
  EXPECT_EQ(count->num(), 4);
  EXPECT_EQ(macroEval("M->nCount").num(), 4);
}

TEST(Compiler, RecordCopyTexts) {
  TestRuntime t;
  dbOpenMemory("T", {"A", "B"}, {{1, "x"}});
  BlockRef notObject = compileBlock("{|x| Valtype(x) <> \"O\" }");
  EXPECT_TRUE(notObject->eval({1}).log());
  EXPECT_FALSE(notObject->eval({Item(std::make_shared<Probe>())}).log());

  BlockRef fromFields = compileBlock("{|x,i| x:=FieldGet(i) }");
  EXPECT_EQ(fromFields->eval({Item(), 2}).str(), "x");
  BlockRef toFields = compileBlock("{|x,i| FieldPut(i,x) }");
  toFields->eval({"y", 2});
  EXPECT_EQ(FIELDGET(2).str(), "y");

  auto probe = std::make_shared<Probe>();
  BlockRef setData = compileBlock("{|o| o:setData() }");
  setData->eval({Item(probe)});
  setData->eval({Item(probe)});
  EXPECT_EQ(probe->setDataCalls, 2);
}

TEST(Compiler, ValidationTextsUseBoundVariablesAndRoutines) {
  TestRuntime t;
  VarRef cGame = makeVar("B");
  BlockRef v1 = compileBlock("{|| cGame$\"ABC\"}", {{"cGame", cGame}});
  EXPECT_TRUE(v1->eval().log());
  *cGame = "D";
  EXPECT_FALSE(v1->eval().log());

  // A stand-in RANGECHECK shows that the call reaches the registry with the
  // field and both bounds, whatever the case of the name.
  Recorder rangeCheck;
  rangeCheck.registerAs(t.rt.registry, "RANGECHECK", 3);
  BlockRef v2 = compileBlock("{|_x| RangeCheck(_x, 1, 63)}");
  EXPECT_TRUE(v2->eval({"get"}).log());
  ASSERT_EQ(rangeCheck.calls.size(), 1u);
  EXPECT_EQ(rangeCheck.calls[0][0].str(), "get");
  EXPECT_EQ(rangeCheck.calls[0][1].num(), 1);
  EXPECT_EQ(rangeCheck.calls[0][2].num(), 63);
}

TEST(Compiler, HandlerTextsReachTheirRoutines) {
  TestRuntime t;
  // Compiled before its routine exists: the name is settled when it runs.
  BlockRef handler = compileBlock("{|o| StandardEH(o)}");
  ASSERT_TRUE(handler);
  Recorder standardEH;
  standardEH.result = 0;
  standardEH.registerAs(t.rt.registry, "STANDARDEH", 1);
  auto e = makeError(EG_ZERODIV, "Zero divisor", "/");
  EXPECT_EQ(handler->eval({Item(e)}).num(), 0);
  ASSERT_EQ(standardEH.calls.size(), 1u);
  EXPECT_TRUE(standardEH.calls[0][0].same(Item(e)));

  for (const char* text : {"{|e| Break(e)}", "{|e| Break(e) }"}) {
    BlockRef breaker = compileBlock(text);
    Item recovered;
    sequence([&] { breaker->eval({"payload"}); }, [&](const Item& v) { recovered = v; });
    EXPECT_EQ(recovered.strOr(""), "payload") << text;
  }
}

TEST(Compiler, UnknownRoutineRaisesAClearError) {
  TestRuntime t;
  ErrorRecorder rec;
  EXPECT_TRUE(macroEval("DacSession()").isNil());
  ASSERT_EQ(rec.errors.size(), 1u);
  EXPECT_EQ(rec.lastCode(), EG_NOFUNC);
  EXPECT_NE(rec.lastText().find("DacSession"), std::string::npos) << rec.lastText();

  // The handler's substitute stands in for the call.
  rec.answer = [](const ErrorRef&) { return Item("session"); };
  EXPECT_EQ(macroEval("DacSession()").str(), "session");
}

// --- Syntax -----------------------------------------------------------------

TEST(Compiler, MalformedTextsRaiseSyntaxErrorsThatQuoteThem) {
  TestRuntime t;
  ErrorRecorder rec;
  EXPECT_EQ(compileBlock("{|x| x +}"), nullptr);
  EXPECT_EQ(rec.lastCode(), EG_SYNTAX);
  EXPECT_NE(rec.lastText().find("\"{|x| x +}\" at column 9"), std::string::npos) << rec.lastText();

  const char* bad[] = {
      "",         "{",     "{|x x}", "{|x| x", "{|x,x| x}", "1 +",  "(1",  "1)",     "\"open",
      "'open",    ".X.",   "a :=",   "1 := 2", "f(1,",      "o:",   "A->", "M->(1)", "IIf(.T., 1)",
      "{|| 1} 2", "x @ y", "1 2",    "{||}}",  "a->b->",    "\x01", "é"};
  for (const char* text : bad) {
    rec.errors.clear();
    EXPECT_TRUE(macroEval(text).isNil()) << text;
    ASSERT_EQ(rec.errors.size(), 1u) << text;
    EXPECT_EQ(rec.lastCode(), EG_SYNTAX) << text;
    EXPECT_NE(rec.lastText().find("Syntax error in"), std::string::npos) << text;
  }
  // A callable is required where one is compiled.
  rec.errors.clear();
  EXPECT_EQ(compileBlock("1 + 1"), nullptr);
  EXPECT_EQ(rec.lastCode(), EG_SYNTAX);

  // A callable offered by the handler is used in place of the bad text.
  rec.answer = [](const ErrorRef&) { return Item(compileBlock("{|| 42}")); };
  BlockRef substitute = compileBlock("{|| 1 +}");
  ASSERT_TRUE(substitute);
  EXPECT_EQ(substitute->eval().num(), 42);
}

TEST(Compiler, NestingIsBoundedNotFatal) {
  TestRuntime t;
  ErrorRecorder rec;
  std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
  std::string unary = std::string(5000, '-') + "1";
  std::string chain = "1";
  for (int i = 0; i < 5000; ++i) chain += "+1";
  std::string calls;
  for (int i = 0; i < 5000; ++i) calls += "Len(";
  for (const std::string& text : {deep, unary, chain, calls}) {
    rec.errors.clear();
    EXPECT_TRUE(macroEval(text).isNil());
    EXPECT_EQ(rec.lastCode(), EG_SYNTAX);
  }
  // Moderate nesting is fine.
  EXPECT_EQ(macroEval(std::string(20, '(') + "2" + std::string(20, ')') + "*3").num(), 6);
}

// --- Expressions ------------------------------------------------------------

TEST(Compiler, OperatorsAndPrecedence) {
  TestRuntime t;
  EXPECT_EQ(macroEval("1 + 2 * 3").num(), 7);
  EXPECT_EQ(macroEval("(1 + 2) * 3").num(), 9);
  EXPECT_EQ(macroEval("10 - 4 - 3").num(), 3);
  EXPECT_EQ(macroEval("-2 * -3").num(), 6);
  EXPECT_EQ(macroEval("7 % 4 + 9 / 2").num(), 7.5);
  EXPECT_EQ(macroEval("'ab' + \"cd\"").str(), "abcd");
  EXPECT_TRUE(macroEval("'abc' = 'ab'").log());
  EXPECT_FALSE(macroEval("'abc' == 'ab'").log());
  EXPECT_TRUE(macroEval("1 != 2 .AND. 1 <> 2 .AND. 1 # 2").log());
  EXPECT_TRUE(macroEval("1 < 2 .AND. 2 <= 2 .AND. 3 > 2 .AND. 3 >= 3").log());
  EXPECT_TRUE(macroEval("'b' $ 'abc'").log());
  EXPECT_TRUE(macroEval("NIL == nil").log());
  EXPECT_TRUE(macroEval(".t. .and. .Y. .and. !.F. .and. !.n.").log());
  // .NOT. binds tighter than .AND., which binds tighter than .OR.; a leading
  // ! covers the whole comparison.
  EXPECT_TRUE(macroEval(".NOT. .T. .OR. .T.").log());
  EXPECT_TRUE(macroEval(".T. .OR. .F. .AND. .F.").log());
  EXPECT_TRUE(macroEval("!1 == 2").log());
  EXPECT_TRUE(macroEval(".F. == !.T.").log());
  EXPECT_EQ(macroEval("1.5+.5").num(), 2);
  EXPECT_EQ(macroEval("007.250").num(), 7.25);
  EXPECT_TRUE(std::isinf(macroEval(std::string(400, '9')).num()));
  EXPECT_EQ(macroEval("." + std::string(400, '0') + "1").num(), 0);
  EXPECT_TRUE(macroEval("1=1.AND.2=2").log());  // "1." is a number only with digits after
  EXPECT_EQ(macroEval("1, 2, 3").num(), 3);
}

TEST(Compiler, ShortCircuitAndIIfEvaluateOnlyWhatTheyNeed) {
  TestRuntime t;
  VarRef n = t.rt.memvars.definePublic("n", 0);
  EXPECT_FALSE(macroEval(".F. .AND. (n := 1) == 1").log());
  EXPECT_TRUE(macroEval(".T. .OR. (n := 2) == 2").log());
  EXPECT_EQ(n->num(), 0);
  EXPECT_EQ(macroEval("IIf(.T., 'yes', n := 3)").str(), "yes");
  EXPECT_EQ(macroEval("If(.F., n := 4, 'no')").str(), "no");
  EXPECT_EQ(n->num(), 0);
  // The unchosen branch may even name something that does not exist.
  ErrorRecorder rec;
  EXPECT_EQ(macroEval("IIf(n == 0, 1, NoSuchRoutine())").num(), 1);
  EXPECT_TRUE(rec.errors.empty());
  // A condition that is not logical is an argument error.
  macroEval("IIf(1, 2, 3)");
  EXPECT_EQ(rec.lastCode(), EG_ARG);
}

TEST(Compiler, PCountCountsPassedArgumentsOfTheInnermostCallable) {
  TestRuntime t;
  BlockRef b = compileBlock("{|a, b| PCount()}");
  EXPECT_EQ(b->eval().num(), 0);
  EXPECT_EQ(b->eval({Item()}).num(), 1);
  EXPECT_EQ(b->eval({1, 2, 3}).num(), 3);  // extra arguments count but bind to nothing
  BlockRef outer = compileBlock("{|x| Eval({|| PCount()}) + PCount() * 10}");
  EXPECT_EQ(outer->eval({1}).num(), 10);
  EXPECT_EQ(macroEval("PCount()").num(), 0);
  // Missing arguments read as nil.
  EXPECT_EQ(compileBlock("{|a, b| Valtype(b)}")->eval({1}).str(), "U");
}

TEST(Compiler, NamesResolveParameterBoundFieldMemvar) {
  TestRuntime t;
  ErrorRecorder rec;
  t.rt.memvars.definePublic("NAME", "memvar");
  VarRef bound = makeVar("bound");
  Bindings bindings{{"name", bound}};
  EXPECT_EQ(compileBlock("{|name| name}", bindings)->eval({"param"}).str(), "param");
  EXPECT_EQ(compileBlock("{|| NAME}", bindings)->eval().str(), "bound");
  EXPECT_EQ(macroEval("name").str(), "memvar");
  dbOpenMemory("T", {"NAME"}, {{"field"}});
  EXPECT_EQ(macroEval("name").str(), "field");
  EXPECT_EQ(macroEval("M->name").str(), "memvar");
  EXPECT_EQ(macroEval("MEMVAR->Name + FIELD->name + _FIELD->NAME").str(), "memvarfieldfield");
  // Assignment follows the same order.
  macroEval("name := 'new field'");
  EXPECT_EQ(FIELDGET(1).str(), "new field");
  EXPECT_TRUE(rec.errors.empty());
}

// A runtime the work areas were never offered to has no fields: a name is a
// variable, and text that names a field or an area outright is an error.
TEST(Compiler, WithoutWorkAreasFieldTextsAreErrors) {
  Runtime rt(std::make_unique<HeadlessBackend>());
  RuntimeScope scope(rt);
  rt.memvars.definePublic("name", "memvar");
  ErrorRecorder rec;
  EXPECT_EQ(macroEval("name").str(), "memvar");
  const struct {
    const char* text;
    int code;
  } cases[] = {{"FIELD->NAME", EG_NOVAR},
               {"FIELD->NAME := 1", EG_NOVAR},
               {"CUST->NAME", EG_NOALIAS},
               {"FieldGet(1)", EG_NOFUNC}};
  for (const auto& c : cases) {
    rec.errors.clear();
    macroEval(c.text);
    EXPECT_EQ(rec.lastCode(), c.code) << c.text;
  }
}

TEST(Compiler, UnknownVariableRaisesNamingIt) {
  TestRuntime t;
  ErrorRecorder rec;
  macroEval("nMissing + 0");
  ASSERT_FALSE(rec.errors.empty());
  EXPECT_EQ(rec.errors.front()->genCode.num(), EG_NOVAR);
  EXPECT_NE(rec.errors.front()->description.str().find("nMissing"), std::string::npos);

  rec.errors.clear();
  macroEval("M->nGone := 1");
  EXPECT_EQ(rec.lastCode(), EG_NOVAR);
  EXPECT_EQ(t.rt.memvars.find("nGone"), nullptr);  // assignment does not create it

  // Retry: the handler creates the variable and asks again.
  rec.errors.clear();
  rec.answer = [&](const ErrorRef&) {
    t.rt.memvars.definePublic("nLate", 9);
    return Item(true);
  };
  EXPECT_EQ(macroEval("M->nLate").num(), 9);
  EXPECT_EQ(rec.errors.size(), 1u);
}

TEST(Compiler, NestedCallablesCaptureEnclosingParameters) {
  TestRuntime t;
  Item adder = macroEval("{|x| {|y| x + y}}");
  ASSERT_TRUE(adder.isBlock());
  EXPECT_EQ(adder.block()->source(), "{|x| {|y| x + y}}");
  Item addTwo = adder.block()->eval({2});
  ASSERT_TRUE(addTwo.isBlock());
  EXPECT_EQ(addTwo.block()->source(), "{|y| x + y}");
  EXPECT_EQ(addTwo.block()->eval({5}).num(), 7);
  // The inner callable shares the outer parameter, writes included.
  BlockRef counter = compileBlock("{|n| {|| n := n + 1}}");
  BlockRef next = counter->eval({0}).block();
  next->eval();
  EXPECT_EQ(next->eval().num(), 2);
  EXPECT_EQ(compileBlock("{|| }")->eval().type(), 'U');
}

TEST(Compiler, RunawayRecursionIsStoppedWithAnError) {
  TestRuntime t;
  ErrorRecorder rec;
  rec.answer = [](const ErrorRef& e) -> Item { BREAK(Item(e)); };
  Item caught;
  // The callable reaches itself through a public variable, not through a
  // variable it holds, so no reference cycle outlives the test.
  VarRef f = t.rt.memvars.definePublic("f");
  *f = Item(compileBlock("{|| Eval(M->f)}"));
  sequence([&] { macroEval("Eval(M->f)"); }, [&](const Item& v) { caught = v; });
  ASSERT_TRUE(caught.isObject());
  EXPECT_EQ(caught.as<Error>()->genCode.num(), EG_BOUND);
  EXPECT_EQ(t.rt.memvars.activationDepth(), 0u);  // every activation unwound
}

TEST(Compiler, CallablesStandOnTheCallStack) {
  TestRuntime t;
  BlockRef b;
  {
    KRX_ROUTINE("OWNER");
    b = compileBlock("{|| Where()}");
  }
  std::vector<std::string> seen;
  t.rt.registry.add("WHERE", 0, [&](std::span<const Item>) {
    KRX_ROUTINE("WHERE");
    seen = {PROCNAME(0), PROCNAME(1), PROCNAME(2)};
    return Item();
  });
  b->eval();
  std::vector<std::string> expected{"WHERE", "(b)OWNER", ""};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(PROCNAME(0), "");  // the frame is gone after the call
}

TEST(Compiler, MembersAndMethods) {
  TestRuntime t;
  auto probe = std::make_shared<Probe>();
  BlockRef b = compileBlock("{|o| o:value := o:value + 1, o:Twice(o:VALUE)}");
  EXPECT_EQ(b->eval({Item(probe)}).num(), 4);
  EXPECT_EQ(probe->value.num(), 2);
  EXPECT_EQ(macroEval("{|x| x * 3}:eval(2)").num(), 6);

  auto e = makeError(EG_ARG, "Argument error", "+");
  BlockRef reader = compileBlock("{|e| e:genCode == 1 .AND. '+' $ e:operation}");
  EXPECT_TRUE(reader->eval({Item(e)}).log());
  compileBlock("{|e| e:cargo := 'note'}")->eval({Item(e)});
  EXPECT_EQ(e->cargo.str(), "note");

  ErrorRecorder rec;
  compileBlock("{|o| o:nothing()}")->eval({Item(probe)});
  EXPECT_EQ(rec.lastCode(), EG_NOMETHOD);
  compileBlock("{|o| o:nothing}")->eval({1});
  EXPECT_EQ(rec.lastCode(), EG_NOVARMETHOD);
}

TEST(Compiler, RoutinesResolveBuiltinsFirstAndGetTheArgumentsWritten) {
  TestRuntime t;
  // A program routine cannot hide a built-in.
  Recorder shadow;
  shadow.registerAs(t.rt.registry, "LEN", 1);
  EXPECT_EQ(macroEval("len('abc')").num(), 3);
  EXPECT_TRUE(shadow.calls.empty());

  Recorder three;
  three.registerAs(t.rt.registry, "THREE", 3);
  macroEval("Three(1)");
  macroEval("three(1,,3)");
  ASSERT_EQ(three.calls.size(), 2u);
  // An argument left out at the end is not passed; one left out between
  // others is NIL.
  EXPECT_EQ(three.calls[0].size(), 1u);
  ASSERT_EQ(three.calls[1].size(), 3u);
  EXPECT_TRUE(three.calls[1][1].isNil());
  EXPECT_EQ(three.calls[1][2].num(), 3);
  EXPECT_TRUE(ISFUNCTION("iif") && ISFUNCTION("PCount") && ISFUNCTION("three"));
  EXPECT_FALSE(ISFUNCTION("DacSession"));
}

// --- Built-ins --------------------------------------------------------------

TEST(Builtins, StringsNumbersAndTypes) {
  TestRuntime t;
  EXPECT_EQ(macroEval("Len('abcd') + Len(Array(3))").num(), 7);
  EXPECT_EQ(macroEval("Upper('aBc')").str(), "ABC");
  EXPECT_EQ(macroEval("Str(42)").str(), "        42");
  EXPECT_EQ(macroEval("Str(3.14159, 6, 2)").str(), "  3.14");
  EXPECT_EQ(macroEval("Val(' 12.5')").num(), 12.5);
  EXPECT_EQ(macroEval("SubStr('abcdef', 2, 3)").str(), "bcd");
  EXPECT_EQ(macroEval("SubStr('abcdef', 4)").str(), "def");
  EXPECT_TRUE(macroEval("Empty('  ') .AND. Empty(0) .AND. !Empty('x')").log());
  EXPECT_EQ(macroEval("Asc(Chr(65))").num(), 65);
  EXPECT_EQ(macroEval("Valtype(1) + Valtype('') + Valtype(NIL) + Valtype({|| 1})").str(), "NCUB");
  EXPECT_EQ(macroEval("Round(2.345, 2)").num(), 2.35);
}

TEST(Builtins, Arrays) {
  TestRuntime t;
  VarRef a = t.rt.memvars.definePublic("a", makeArray());
  macroEval("AAdd(a, 10), AAdd(a, 'x'), AAdd(a, 30)");
  ASSERT_EQ(a->array()->size(), 3u);
  EXPECT_EQ(macroEval("AScan(a, 'x')").num(), 2);
  EXPECT_EQ(macroEval("AScan(a, 30)").num(), 3);  // a string element is skipped, not an error
  EXPECT_EQ(macroEval("AScan(a, {|v| Valtype(v) == 'C'})").num(), 2);
  EXPECT_EQ(macroEval("AScan(a, 99)").num(), 0);
  macroEval("AEval(a, {|v, i| IIf(Valtype(v) == 'N', v + i, v)}, , , .T.)");
  EXPECT_EQ((*a->array())[0].num(), 11);
  EXPECT_EQ((*a->array())[2].num(), 33);
  // A callable that grows the array does not make AEval run on for ever.
  macroEval("AEval(a, {|v| AAdd(a, v)})");
  EXPECT_EQ(a->array()->size(), 6u);
}

TEST(Builtins, WrongArgumentsRaiseNamingTheRoutine) {
  TestRuntime t;
  ErrorRecorder rec;
  rec.answer = [](const ErrorRef&) { return Item(-1); };
  EXPECT_EQ(macroEval("Len(5)").num(), -1);
  EXPECT_EQ(rec.lastCode(), EG_ARG);
  EXPECT_EQ(rec.errors.back()->operation.str(), "LEN");
  EXPECT_EQ(macroEval("Upper(1)").num(), -1);
  EXPECT_EQ(macroEval("AAdd('a', 1)").num(), -1);
  EXPECT_EQ(macroEval("Set(9999)").num(), -1);
  rec.errors.clear();
  macroEval("Space(1000000000000)");
  EXPECT_EQ(rec.lastCode(), EG_STROVERFLOW);
  macroEval("Array(1000000000)");
  EXPECT_EQ(rec.lastCode(), EG_BOUND);
  // A short text cannot make strings or arrays without bound.
  rec.errors.clear();
  rec.answer = [](const ErrorRef& e) -> Item { BREAK(Item(e)); };
  Item caught;
  sequence([] { macroEval("Eval({|s| AEval(Array(64), {|| s := s + s})}, 'ab')"); },
           [&](const Item& v) { caught = v; });
  ASSERT_TRUE(caught.isObject());
  EXPECT_EQ(caught.as<Error>()->genCode.num(), EG_STROVERFLOW);
  caught = Item();
  sequence(
      [] {
        macroEval("Eval({|a| AEval(Array(99), {|| AEval(Array(99), {|| AAdd(a, 1)})})}, Array(0))");
      },
      [&](const Item& v) { caught = v; });
  ASSERT_TRUE(caught.isObject());
  EXPECT_EQ(caught.as<Error>()->genCode.num(), EG_BOUND);
}

TEST(Builtins, ConsoleClockAndSettings) {
  TestRuntime t;
  EXPECT_EQ(macroEval("Time()").str().size(), 8u);
  EXPECT_GE(macroEval("Seconds()").num(), 0);
  Item previous = SET(SET_SCOREBOARD);
  EXPECT_TRUE(macroEval("Set(32, .F.)").same(previous));
  EXPECT_FALSE(SET(SET_SCOREBOARD).log());
  t.hl.keys({'k'});
  EXPECT_EQ(macroEval("Inkey(0)").num(), 'k');
  EXPECT_EQ(macroEval("LastKey()").num(), 'k');
  EXPECT_EQ(macroEval("Inkey()").num(), 0);
}

// --- Dynamically scoped variables --------------------------------------------

TEST(Memvars, PublicsAndPrivates) {
  TestRuntime t;
  Memvars& m = t.rt.memvars;
  VarRef pub = m.definePublic("getList");
  EXPECT_FALSE(pub->log());                      // publics start as .F.
  EXPECT_EQ(m.definePublic("GETLIST", 5), pub);  // an existing public is kept
  EXPECT_EQ(m.find("GetList"), pub);
  {
    PrivateScope scope;
    VarRef priv = m.definePrivate("getlist", "private");
    EXPECT_EQ(m.find("GETLIST"), priv);
    EXPECT_EQ(macroEval("getList").str(), "private");
    {
      PrivateScope inner;
      m.definePrivate("GetList", "inner");
      EXPECT_EQ(macroEval("M->getList").str(), "inner");
    }
    EXPECT_EQ(macroEval("getList").str(), "private");
  }
  EXPECT_EQ(m.find("getList"), pub);
  EXPECT_EQ(m.find("nothing"), nullptr);
}
