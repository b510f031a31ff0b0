#include "runtime/lang/item.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "runtime/lang/error.h"
#include "runtime/lang/object.h"

namespace krx {

namespace {

const char* typeName(char type) {
  switch (type) {
    case 'N':
      return "number";
    case 'C':
      return "string";
    case 'L':
      return "logical";
    case 'D':
      return "date";
    case 'A':
      return "array";
    case 'B':
      return "callable";
    case 'O':
      return "object";
    default:
      return "nil";
  }
}

// A typed accessor met a value of another type.
ErrorRef typeError(const Item& item, char wanted, bool canSubstitute) {
  auto e = makeError(EG_ARG,
                     std::string("Argument error: ") + typeName(wanted) + " expected, " +
                         typeName(item.type()) + " found",
                     std::string(1, wanted), {item});
  e->canSubstitute = canSubstitute;
  e->canDefault = true;
  return e;
}

// An operator met operands it does not take.
Item operandError(const char* op, const Item& a, const Item& b) {
  auto e = makeError(EG_ARG, "Argument error", op, {a, b});
  e->canSubstitute = true;
  return raiseForResult(e);
}

bool compareError(const char* op, const Item& a, const Item& b) {
  Item r = operandError(op, a, b);
  return r.isLog() && r.log();
}

// -1, 0, 1 for two values that can be ordered; nullopt otherwise.
std::optional<int> order(const Item& a, const Item& b) {
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (a.isNum() && b.isNum()) return sign(a.numOr(0), b.numOr(0));
  if (a.isStr() && b.isStr()) return sign(a.str(), b.str());
  if (a.isDate() && b.isDate()) return sign(a.date(), b.date());
  if (a.isLog() && b.isLog()) return sign(a.log(), b.log());
  return std::nullopt;
}

}  // namespace

char Item::type() const {
  static constexpr char letters[] = {'U', 'N', 'C', 'L', 'D', 'A', 'B', 'O'};
  return letters[v_.index()];
}

double Item::num() const {
  if (isNum()) return std::get<double>(v_);
  Recovery r = raise(typeError(*this, 'N', true));
  return r.kind == Recovery::Substitute && r.value.isNum() ? r.value.numOr(0) : 0.0;
}

const std::string& Item::str() const {
  static const std::string empty;
  if (isStr()) return std::get<std::string>(v_);
  raise(typeError(*this, 'C', false));
  return empty;
}

bool Item::log() const {
  if (isLog()) return std::get<bool>(v_);
  Recovery r = raise(typeError(*this, 'L', true));
  return r.kind == Recovery::Substitute && r.value.logOr(false);
}

Date Item::date() const {
  if (isDate()) return std::get<Date>(v_);
  Recovery r = raise(typeError(*this, 'D', true));
  return r.kind == Recovery::Substitute && r.value.isDate() ? std::get<Date>(r.value.v_) : Date{};
}

// Arrays, callables and objects have no sensible stand-in: an answer from
// the handler that does not leave the operation ends it with a break.
const ArrayRef& Item::array() const {
  if (isArray()) return std::get<ArrayRef>(v_);
  auto e = typeError(*this, 'A', false);
  e->canDefault = false;
  raise(e);
  BREAK(Item(e));
}

const BlockRef& Item::block() const {
  if (isBlock()) return std::get<BlockRef>(v_);
  auto e = typeError(*this, 'B', false);
  e->canDefault = false;
  raise(e);
  BREAK(Item(e));
}

const ObjectRef& Item::object() const {
  if (isObject()) return std::get<ObjectRef>(v_);
  auto e = typeError(*this, 'O', false);
  e->canDefault = false;
  raise(e);
  BREAK(Item(e));
}

bool Item::same(const Item& other) const {
  return v_ == other.v_;
}

ArrayRef makeArray(std::initializer_list<Item> items) {
  return std::make_shared<Array>(items);
}
ArrayRef makeArray(std::size_t size) {
  return std::make_shared<Array>(size);
}

Item add(const Item& a, const Item& b) {
  if (a.isNum() && b.isNum()) return a.numOr(0) + b.numOr(0);
  if (a.isStr() && b.isStr()) return a.str() + b.str();
  if (a.isDate() && b.isNum())
    return Date{a.date().julian + static_cast<std::int32_t>(std::trunc(b.numOr(0)))};
  if (a.isNum() && b.isDate())
    return Date{b.date().julian + static_cast<std::int32_t>(std::trunc(a.numOr(0)))};
  return operandError("+", a, b);
}

Item subtract(const Item& a, const Item& b) {
  if (a.isNum() && b.isNum()) return a.numOr(0) - b.numOr(0);
  if (a.isStr() && b.isStr()) {
    // The left side's trailing blanks move to the end of the result.
    std::string left = a.str();
    std::size_t end = left.find_last_not_of(' ');
    std::string trimmed = end == std::string::npos ? "" : left.substr(0, end + 1);
    return trimmed + b.str() + std::string(left.size() - trimmed.size(), ' ');
  }
  if (a.isDate() && b.isDate()) return static_cast<double>(a.date().julian - b.date().julian);
  if (a.isDate() && b.isNum())
    return Date{a.date().julian - static_cast<std::int32_t>(std::trunc(b.numOr(0)))};
  return operandError("-", a, b);
}

Item multiply(const Item& a, const Item& b) {
  if (a.isNum() && b.isNum()) return a.numOr(0) * b.numOr(0);
  return operandError("*", a, b);
}

namespace {
Item zeroDivide(const char* op, const Item& a, const Item& b) {
  auto e = makeError(EG_ZERODIV, "Zero divisor", op, {a, b}, 1340);
  e->canSubstitute = true;
  return raiseForResult(e, 0.0);
}
}  // namespace

Item divide(const Item& a, const Item& b) {
  if (!a.isNum() || !b.isNum()) return operandError("/", a, b);
  if (b.numOr(0) == 0) return zeroDivide("/", a, b);
  return a.numOr(0) / b.numOr(0);
}

Item modulo(const Item& a, const Item& b) {
  if (!a.isNum() || !b.isNum()) return operandError("%", a, b);
  if (b.numOr(0) == 0) return zeroDivide("%", a, b);
  return remainderOf(a.numOr(0), b.numOr(0));
}

// The exact remainder of x / y with the sign of x, as the C library's fmod
// gives it, worked out on the bits: the program then needs nothing of the
// maths library, which would cost a long-running process resident memory.
// Long division of the significands, one bit of the quotient at a time.
double remainderOf(double x, double y) {
  using Bits = std::uint64_t;
  constexpr Bits kSign = Bits{1} << 63;
  constexpr Bits kImplicit = Bits{1} << 52;
  constexpr int kExpMax = 0x7FF;
  Bits ux = std::bit_cast<Bits>(x), uy = std::bit_cast<Bits>(y);
  int ex = static_cast<int>(ux >> 52 & kExpMax), ey = static_cast<int>(uy >> 52 & kExpMax);
  const Bits sx = ux & kSign;
  if ((uy << 1) == 0 || ex == kExpMax || (uy << 1) > (Bits{kExpMax} << 53))
    return (x * y) / (x * y);  // NaN for a zero or NaN divisor, an infinite or NaN x
  if ((ux << 1) <= (uy << 1)) return (ux << 1) == (uy << 1) ? 0 * x : x;

  // Significands with the implicit bit; subnormals normalised.
  auto significand = [&](Bits u, int& e) {
    if (e == 0) {
      Bits m = u << 12;
      for (e = 0; (m >> 63) == 0; --e) m <<= 1;
      return u << (1 - e);
    }
    return (u & (kImplicit - 1)) | kImplicit;
  };
  Bits mx = significand(ux, ex), my = significand(uy, ey);

  for (; ex > ey; --ex) {
    if (mx >= my) {
      mx -= my;
      if (mx == 0) return 0 * x;
    }
    mx <<= 1;
  }
  if (mx >= my) {
    mx -= my;
    if (mx == 0) return 0 * x;
  }
  for (; (mx >> 52) == 0; --ex) mx <<= 1;
  if (ex > 0) {
    mx = (mx - kImplicit) | (static_cast<Bits>(ex) << 52);
  } else {
    mx >>= 1 - ex;  // a subnormal result
  }
  return std::bit_cast<double>(mx | sx);
}

Item negate(const Item& a) {
  if (a.isNum()) return -a.numOr(0);
  auto e = makeError(EG_ARG, "Argument error", "-", {a});
  e->canSubstitute = true;
  return raiseForResult(e);
}

bool exactEqual(const Item& a, const Item& b) {
  if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
  if (a.type() != b.type()) return compareError("==", a, b);
  if (a.isArray() || a.isBlock() || a.isObject()) return a.same(b);
  return *order(a, b) == 0;
}

bool equal(const Item& a, const Item& b) {
  if (a.isNil() || b.isNil()) return a.isNil() && b.isNil();
  if (a.type() != b.type()) return compareError("=", a, b);
  if (a.isStr()) {
    // Without exact comparison the right side only has to be a prefix.
    const std::string& left = a.str();
    const std::string& right = b.str();
    return left.compare(0, right.size(), right) == 0;
  }
  if (a.isArray() || a.isBlock() || a.isObject()) return a.same(b);
  return *order(a, b) == 0;
}

bool notEqual(const Item& a, const Item& b) {
  if (a.isNil() || b.isNil()) return !(a.isNil() && b.isNil());
  if (a.type() != b.type()) return compareError("<>", a, b);
  return !equal(a, b);
}

#define KRX_ORDERING(fn, op, test)            \
  bool fn(const Item& a, const Item& b) {     \
    if (auto o = order(a, b)) return *o test; \
    return compareError(op, a, b);            \
  }
KRX_ORDERING(less, "<", < 0)
KRX_ORDERING(lessEqual, "<=", <= 0)
KRX_ORDERING(greater, ">", > 0)
KRX_ORDERING(greaterEqual, ">=", >= 0)
#undef KRX_ORDERING

bool contains(const Item& needle, const Item& haystack) {
  if (!needle.isStr() || !haystack.isStr()) return compareError("$", needle, haystack);
  const std::string& n = needle.str();
  return !n.empty() && haystack.str().find(n) != std::string::npos;
}

Item& element(const Item& array, double index) {
  const ArrayRef& a = array.array();
  double i = std::trunc(index);
  if (i >= 1 && i <= static_cast<double>(a->size())) return (*a)[static_cast<std::size_t>(i) - 1];
  auto e = makeError(EG_BOUND, "Bound error: array access", "array access", {array, index});
  raise(e);
  BREAK(Item(e));
}

}  // namespace krx
