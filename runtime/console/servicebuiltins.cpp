#include "runtime/console/servicebuiltins.h"

#include <algorithm>

#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/builtinargs.h"

namespace krx {

namespace {

Item fnTime(Args) {
  return TIME();
}
Item fnSeconds(Args) {
  return SECONDS();
}

Item fnInkey(Args a) {
  if (arg(a, 0).isNil()) return INKEY();
  return isNum(a, 0) ? Item(INKEY(a[0].numOr(0))) : argError("INKEY", a);
}

Item fnLastKey(Args) {
  return LASTKEY();
}

// SET(n) reads; SET(n, value[, additive]) changes and returns the old value.
Item fnSet(Args a) {
  if (!isNum(a, 0) || a[0].numOr(0) < 0 || a[0].numOr(0) >= static_cast<double>(SET_COUNT))
    return argError("SET", a);
  int n = intArg(a, 0);
  if (a.size() < 2) return SET(n);
  return SET(n, a[1], arg(a, 2).logOr(false));
}

// Names in upper case with their declared parameter counts.
std::vector<PublicRoutine> makeTable() {
  std::vector<PublicRoutine> table{
      {"INKEY", 1, fnInkey}, {"LASTKEY", 0, fnLastKey}, {"SECONDS", 0, fnSeconds},
      {"SET", 3, fnSet},     {"TIME", 0, fnTime},
  };
  std::sort(table.begin(), table.end(),
            [](const PublicRoutine& a, const PublicRoutine& b) { return a.name < b.name; });
  return table;
}

}  // namespace

const PublicRoutine* findServiceBuiltin(std::string_view upperName) {
  static const std::vector<PublicRoutine> table = makeTable();
  return findInTable(table, upperName);
}

}  // namespace krx
