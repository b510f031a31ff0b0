#include "runtime/lang/item.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/lang/error.h"
#include "runtime/lang/object.h"
#include "support/error_recorder.h"
#include "support/test_runtime.h"

using namespace krx;

namespace {

Date day(int julian) {
  return Date{julian};
}

}  // namespace

TEST(Item, TypesAndSharing) {
  TestRuntime t;
  EXPECT_EQ(Item().type(), 'U');
  EXPECT_EQ(Item(1).type(), 'N');
  EXPECT_EQ(Item("x").type(), 'C');
  EXPECT_EQ(Item(true).type(), 'L');
  EXPECT_EQ(Item(day(1)).type(), 'D');
  EXPECT_EQ(Item(makeArray()).type(), 'A');
  EXPECT_EQ(Item(makeBlock("{|| 1}", [](std::span<const Item>) { return Item(1); })).type(), 'B');
  EXPECT_EQ(Item(makeError(EG_ARG, "x")).type(), 'O');

  // Copies of an array share its elements.
  Item a = makeArray({1, 2});
  Item b = a;
  element(b, 1) = 10;
  EXPECT_EQ(element(a, 1).num(), 10);
  EXPECT_TRUE(a.same(b));
  EXPECT_FALSE(a.same(Item(makeArray({10, 2}))));
}

TEST(Item, ExactAndPrefixEquality) {
  TestRuntime t;
  ErrorRecorder rec;
  // = : the right side only has to be a prefix of the left.
  EXPECT_TRUE(equal("abc", "ab"));
  EXPECT_TRUE(equal("abc", ""));
  EXPECT_FALSE(equal("ab", "abc"));
  EXPECT_FALSE(equal("abc", "b"));
  // == : the whole text, trailing blanks included.
  EXPECT_TRUE(exactEqual("abc", "abc"));
  EXPECT_FALSE(exactEqual("abc", "ab"));
  EXPECT_FALSE(exactEqual("abc", "abc "));
  EXPECT_TRUE(notEqual("ab", "abc"));
  EXPECT_FALSE(notEqual("abc", "ab"));  // != is the negation of =
  // nil compares with anything without an error.
  EXPECT_TRUE(exactEqual(Item(), Item()));
  EXPECT_FALSE(exactEqual(Item(), 0));
  EXPECT_FALSE(equal("", Item()));
  EXPECT_TRUE(notEqual(Item(), 1));
  // Arrays compare by identity.
  Item a = makeArray({1});
  EXPECT_TRUE(exactEqual(a, a));
  EXPECT_FALSE(exactEqual(a, Item(makeArray({1}))));
  EXPECT_TRUE(rec.errors.empty());
}

TEST(Item, OrderingAndContains) {
  TestRuntime t;
  EXPECT_TRUE(less(1, 2));
  EXPECT_TRUE(lessEqual(2, 2));
  EXPECT_TRUE(greater("b", "abc"));
  EXPECT_TRUE(less("Z", "a"));        // byte order
  EXPECT_TRUE(less("\x7f", "\xb0"));  // bytes are unsigned (code page 437 blocks last)
  EXPECT_TRUE(greaterEqual(day(10), day(9)));
  EXPECT_TRUE(less(false, true));
  EXPECT_TRUE(contains("b", "abc"));
  EXPECT_TRUE(contains("abc", "abc"));
  EXPECT_FALSE(contains("x", "abc"));
  EXPECT_FALSE(contains("", "abc"));  // the empty text is in nothing
  EXPECT_FALSE(contains("abcd", "abc"));
}

TEST(Item, WrongTypesRaiseArgumentErrors) {
  TestRuntime t;
  ErrorRecorder rec;
  rec.answer = [](const ErrorRef&) { return Item(7); };
  EXPECT_EQ(add(1, "a").num(), 7);  // the handler's substitute is the result
  ASSERT_EQ(rec.errors.size(), 1u);
  const ErrorRef& e = rec.errors[0];
  EXPECT_EQ(e->genCode.num(), EG_ARG);
  EXPECT_EQ(e->operation.str(), "+");
  ASSERT_TRUE(e->args.isArray());
  EXPECT_EQ(e->args.array()->size(), 2u);
  EXPECT_TRUE(e->canSubstitute.log());

  rec.errors.clear();
  subtract(true, 1);
  multiply("a", "b");
  negate("a");
  less(1, "a");
  exactEqual(1, "1");
  contains(1, "abc");
  ASSERT_EQ(rec.errors.size(), 6u);
  for (const ErrorRef& err : rec.errors) EXPECT_EQ(err->genCode.num(), EG_ARG);

  // A typed read of the wrong type takes a substitute of the right type.
  rec.errors.clear();
  EXPECT_EQ(Item("x").num(), 7);
  EXPECT_EQ(rec.errors.size(), 1u);
  rec.answer = [](const ErrorRef&) { return Item(false); };
  EXPECT_EQ(Item("x").num(), 0);  // the default reads as zero
}

TEST(Item, StringAndDateArithmetic) {
  TestRuntime t;
  EXPECT_EQ(add("ab", "cd").str(), "abcd");
  EXPECT_EQ(subtract("ab  ", "cd").str(), "abcd  ");  // blanks move to the end
  EXPECT_EQ(add(day(100), 5).date(), day(105));
  EXPECT_EQ(add(5, day(100)).date(), day(105));
  EXPECT_EQ(subtract(day(100), day(90)).num(), 10);
  EXPECT_EQ(subtract(day(100), 1).date(), day(99));
}

TEST(Item, ArrayIndexOutOfBoundsRaises) {
  TestRuntime t;
  ErrorRecorder rec;
  rec.answer = [](const ErrorRef& e) -> Item { BREAK(Item(e)); };
  Item a = makeArray({1, 2, 3});
  EXPECT_EQ(element(a, 3).num(), 3);
  for (double index : {0.0, 4.0, -1.0}) {
    Item caught;
    sequence([&] { element(a, index); }, [&](const Item& v) { caught = v; });
    ASSERT_TRUE(caught.isObject()) << index;
    EXPECT_EQ(caught.as<Error>()->genCode.num(), EG_BOUND);
  }
  // An element of something that is not an array is an error as well.
  Item caught;
  sequence([&] { element(Item(1), 1); }, [&](const Item& v) { caught = v; });
  EXPECT_EQ(caught.as<Error>()->genCode.num(), EG_ARG);
}

TEST(Item, DivisionByZeroRaisesGenCode12WithItsOperands) {
  TestRuntime t;
  ErrorRecorder rec;
  rec.answer = [](const ErrorRef&) { return Item(0); };
  EXPECT_EQ(divide(10, 0).num(), 0);
  EXPECT_EQ(modulo(7, 0).num(), 0);
  ASSERT_EQ(rec.errors.size(), 2u);
  const char* ops[] = {"/", "%"};
  const double lefts[] = {10, 7};
  for (int i = 0; i < 2; ++i) {
    const ErrorRef& e = rec.errors[static_cast<std::size_t>(i)];
    EXPECT_EQ(e->genCode.num(), EG_ZERODIV);
    EXPECT_EQ(e->operation.str(), ops[i]);
    ASSERT_TRUE(e->args.isArray());
    ASSERT_EQ(e->args.array()->size(), 2u);
    EXPECT_EQ((*e->args.array())[0].num(), lefts[i]);
    EXPECT_EQ((*e->args.array())[1].num(), 0);  // the divisor is the last operand
    EXPECT_TRUE(e->canSubstitute.log());
  }
  rec.answer = [](const ErrorRef&) { return Item(-1); };
  EXPECT_EQ(divide(1, 0).num(), -1);
  EXPECT_EQ(divide(1, 4).num(), 0.25);
  EXPECT_EQ(modulo(7, 4).num(), 3);
}

TEST(Item, RemainderIsExactWithTheSignOfTheDividend) {
  // Against the C library over awkward operands: signs, subnormals, huge
  // quotients, divisors larger than the dividend.
  const double values[] = {0.0,    -0.0,    1.0,     -1.0,  0.1,    7.5,     -7.5,
                           3.0,    1e-310,  -4e-320, 1e300, -1e300, 86400.0, 123456.789,
                           5e-324, 1.7e308, 2.5,     60.0,  0.3,    -13.0,   1e15 + 0.5};
  for (double x : values) {
    for (double y : values) {
      if (y == 0) continue;
      const double want = std::fmod(x, y);
      const double got = remainderOf(x, y);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
          << x << " % " << y << ": " << got << " instead of " << want;
    }
  }
  EXPECT_TRUE(std::isnan(remainderOf(1, 0)));
  EXPECT_TRUE(std::isnan(remainderOf(INFINITY, 2)));
  EXPECT_EQ(remainderOf(5, INFINITY), 5);
}
