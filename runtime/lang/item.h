// Item: the runtime's dynamic value.
//
// Used only where a value really is dynamic: edit-field variables, callable
// arguments, error members, routines reached by name. Routines otherwise use
// native C++ types.
//
// Arrays are shared by reference (copying an Item copies the reference), as
// the runtime's arrays are; strings are byte strings whose screen form is
// code page 437. Every operation on values of the wrong type raises a runtime
// error through the installed handler (see error.h); nothing here is
// undefined behaviour.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace krx {

class Item;
class Block;
class Object;

using Array = std::vector<Item>;
using ArrayRef = std::shared_ptr<Array>;
using BlockRef = std::shared_ptr<Block>;
using ObjectRef = std::shared_ptr<Object>;

// A calendar date as a Julian day number; 0 is the empty date.
struct Date {
  std::int32_t julian = 0;
  friend bool operator==(Date, Date) = default;
  friend auto operator<=>(Date, Date) = default;
};

class Item {
 public:
  using Value =
      std::variant<std::monostate, double, std::string, bool, Date, ArrayRef, BlockRef, ObjectRef>;

  Item() = default;
  Item(std::nullptr_t) {}
  template <class T>
  requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) Item(T n)
      : v_(static_cast<double>(n)) {}
  Item(bool b) : v_(b) {}
  Item(const char* s) : v_(std::string(s)) {}
  Item(std::string s) : v_(std::move(s)) {}
  Item(std::string_view s) : v_(std::string(s)) {}
  Item(Date d) : v_(d) {}
  Item(ArrayRef a) : v_(std::move(a)) {}
  Item(BlockRef b) : v_(std::move(b)) {}
  Item(ObjectRef o) : v_(std::move(o)) {}
  template <class T>
  requires std::is_base_of_v<Object, T> Item(std::shared_ptr<T> o) : v_(ObjectRef(std::move(o))) {}
  template <class T>
  requires(std::is_base_of_v<Block, T> && !std::is_same_v<T, Block>) Item(std::shared_ptr<T> b)
      : v_(BlockRef(std::move(b))) {}

  // The type letter that VALTYPE reports: U N C L D A B O.
  char type() const;

  bool isNil() const { return v_.index() == 0; }
  bool isNum() const { return std::holds_alternative<double>(v_); }
  bool isStr() const { return std::holds_alternative<std::string>(v_); }
  bool isLog() const { return std::holds_alternative<bool>(v_); }
  bool isDate() const { return std::holds_alternative<Date>(v_); }
  bool isArray() const { return std::holds_alternative<ArrayRef>(v_); }
  bool isBlock() const { return std::holds_alternative<BlockRef>(v_); }
  bool isObject() const { return std::holds_alternative<ObjectRef>(v_); }

  // Typed access. A value of another type raises an argument error (the
  // handler's substitute, when it gives one of the right type, is used).
  double num() const;
  const std::string& str() const;
  bool log() const;
  Date date() const;
  const ArrayRef& array() const;
  const BlockRef& block() const;
  const ObjectRef& object() const;

  // Typed access with a fallback for a different type (no error).
  double numOr(double fallback) const { return isNum() ? std::get<double>(v_) : fallback; }
  std::string strOr(std::string fallback) const {
    return isStr() ? std::get<std::string>(v_) : fallback;
  }
  bool logOr(bool fallback) const { return isLog() ? std::get<bool>(v_) : fallback; }

  // The object as the class T, or null when it is not one.
  template <class T>
  std::shared_ptr<T> as() const {
    return isObject() ? std::dynamic_pointer_cast<T>(std::get<ObjectRef>(v_)) : nullptr;
  }

  const Value& value() const { return v_; }

  // Identity of the two values (same type and value; arrays, callables and
  // objects by reference). Never raises; used by ASCAN-style searches.
  bool same(const Item& other) const;

 private:
  Value v_;
};

// A new array holding the given elements.
ArrayRef makeArray(std::initializer_list<Item> items = {});
ArrayRef makeArray(std::size_t size);

// --- Operators with the runtime's semantics -------------------------------
// Each raises a runtime error (generic code 1, argument error; 12 for a zero
// divisor) whose handler may substitute the result.

Item add(const Item& a, const Item& b);       // numbers, strings, date + days
Item subtract(const Item& a, const Item& b);  // numbers, strings, dates
Item multiply(const Item& a, const Item& b);
Item divide(const Item& a, const Item& b);
Item modulo(const Item& a, const Item& b);
Item negate(const Item& a);
// x - n * y for the whole n that leaves the sign of x, exactly (the % operator).
double remainderOf(double x, double y);

bool exactEqual(const Item& a, const Item& b);  // ==
bool equal(const Item& a, const Item& b);       // =  (strings: b is a prefix of a)
bool notEqual(const Item& a, const Item& b);    // != <> #
bool less(const Item& a, const Item& b);
bool lessEqual(const Item& a, const Item& b);
bool greater(const Item& a, const Item& b);
bool greaterEqual(const Item& a, const Item& b);
bool contains(const Item& needle, const Item& haystack);  // $

// Element `index` (from 1) of an array; a bad index raises a bound error.
Item& element(const Item& array, double index);

}  // namespace krx
