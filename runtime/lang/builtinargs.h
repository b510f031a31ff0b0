// What every table of routines reachable by name does with its arguments:
// a missing one reads as nil (arg(), in object.h), a wrong one raises an argument error naming
// the routine (whose handler may give a substitute result), and a number
// used as a count is clamped into range first.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "runtime/lang/error.h"
#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace krx {

using Args = std::span<const Item>;

inline Item argError(const char* routine, Args args) {
  auto e = makeError(EG_ARG, std::string("Argument error in ") + routine, routine,
                     std::vector<Item>(args.begin(), args.end()));
  e->canSubstitute = true;
  e->canDefault = true;
  return raiseForResult(e);
}

// A count or position as an int; out-of-range values (and NaN) are clamped
// so that converting them is always defined.
inline int toInt(double n) {
  if (std::isnan(n)) return 0;
  constexpr double limit = 1e9;
  return static_cast<int>(std::trunc(std::clamp(n, -limit, limit)));
}

inline bool isNum(Args a, std::size_t i) {
  return arg(a, i).isNum();
}
inline bool isStr(Args a, std::size_t i) {
  return arg(a, i).isStr();
}
inline int intArg(Args a, std::size_t i) {
  return toInt(arg(a, i).numOr(0));
}
inline const std::string& strArg(Args a, std::size_t i) {
  return arg(a, i).str();
}

}  // namespace krx
