// The runtime's own routines reachable by name from compiled text: one table,
// every entry with the same signature. Each checks its arguments; one of the
// wrong type raises an argument error naming the routine, and the handler's
// substitute, when it gives one, becomes the result.
#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/lang/builtinargs.h"
#include "runtime/lang/error.h"
#include "runtime/lang/langcontext.h"
#include "runtime/lang/registry.h"
#include "runtime/lang/strings.h"

namespace krx {

namespace {

// The longest string and array a built-in will make: beyond this a text of a
// few bytes could ask for gigabytes.
constexpr int kMaxArray = 4096;

Item sizeError(const char* routine, Args args, int genCode, const char* what) {
  auto e = makeError(genCode, std::string(what) + " in " + routine, routine,
                     std::vector<Item>(args.begin(), args.end()));
  e->canSubstitute = true;
  e->canDefault = true;
  return raiseForResult(e);
}

// --- Values and flow ---------------------------------------------------------

Item fnPCount(Args) {
  return static_cast<double>(LANG().memvars.innermostArgCount());
}

Item fnValtype(Args a) {
  return std::string(1, arg(a, 0).type());
}

Item fnBreak(Args a) {
  BREAK(arg(a, 0));
}

Item fnEval(Args a) {
  if (!arg(a, 0).isBlock()) return argError("EVAL", a);
  return a[0].block()->eval(a.subspan(1));
}

// For native callers only: compiled text evaluates IIf itself, one branch.
Item fnIIf(Args a) {
  if (!arg(a, 0).isLog()) return argError("IIF", a);
  return a[0].logOr(false) ? arg(a, 1) : arg(a, 2);
}

Item fnEmpty(Args a) {
  return EMPTY(arg(a, 0));
}

Item fnLen(Args a) {
  const Item& v = arg(a, 0);
  if (v.isStr()) return static_cast<double>(v.str().size());
  if (v.isArray()) return static_cast<double>(v.array()->size());
  return argError("LEN", a);
}

// --- Numbers ---------------------------------------------------------------

Item fnInt(Args a) {
  return isNum(a, 0) ? Item(INT(a[0].numOr(0))) : argError("INT", a);
}

Item fnRound(Args a) {
  if (!isNum(a, 0) || !isNum(a, 1)) return argError("ROUND", a);
  return ROUND(a[0].numOr(0), std::clamp(intArg(a, 1), -400, 400));
}

Item fnAbs(Args a) {
  return isNum(a, 0) ? Item(std::fabs(a[0].numOr(0))) : argError("ABS", a);
}

Item fnMax(Args a) {
  if (arg(a, 0).type() != arg(a, 1).type() || !(isNum(a, 0) || arg(a, 0).isDate()))
    return argError("MAX", a);
  return greater(a[1], a[0]) ? a[1] : a[0];
}

Item fnMin(Args a) {
  if (arg(a, 0).type() != arg(a, 1).type() || !(isNum(a, 0) || arg(a, 0).isDate()))
    return argError("MIN", a);
  return less(a[1], a[0]) ? a[1] : a[0];
}

Item fnStr(Args a) {
  if (!isNum(a, 0) || (a.size() > 1 && !isNum(a, 1)) || (a.size() > 2 && !isNum(a, 2)))
    return argError("STR", a);
  double n = a[0].numOr(0);
  if (a.size() < 2) return STR(n);
  int len = intArg(a, 1);
  if (len > kMaxStringLength) return sizeError("STR", a, EG_STROVERFLOW, "String too long");
  // More decimals than the width cannot fit either way; the bound only
  // spares building digits that would be replaced by asterisks.
  if (a.size() < 3) return STR(n, len);
  return STR(n, len, std::min(intArg(a, 2), std::max(len, 0)));
}

Item fnVal(Args a) {
  return isStr(a, 0) ? Item(VAL(a[0].str())) : argError("VAL", a);
}

// --- Strings ---------------------------------------------------------------

Item fnUpper(Args a) {
  return isStr(a, 0) ? Item(UPPER(a[0].str())) : argError("UPPER", a);
}
Item fnLower(Args a) {
  return isStr(a, 0) ? Item(LOWER(a[0].str())) : argError("LOWER", a);
}
Item fnAllTrim(Args a) {
  return isStr(a, 0) ? Item(ALLTRIM(a[0].str())) : argError("ALLTRIM", a);
}
Item fnLTrim(Args a) {
  return isStr(a, 0) ? Item(LTRIM(a[0].str())) : argError("LTRIM", a);
}
Item fnRTrim(Args a) {
  return isStr(a, 0) ? Item(RTRIM(a[0].str())) : argError("TRIM", a);
}

Item fnSubStr(Args a) {
  if (!isStr(a, 0) || !isNum(a, 1) || (a.size() > 2 && !arg(a, 2).isNil() && !isNum(a, 2)))
    return argError("SUBSTR", a);
  if (arg(a, 2).isNil()) return SUBSTR(strArg(a, 0), intArg(a, 1));
  return SUBSTR(strArg(a, 0), intArg(a, 1), intArg(a, 2));
}

Item fnLeft(Args a) {
  if (!isStr(a, 0) || !isNum(a, 1)) return argError("LEFT", a);
  return LEFT(strArg(a, 0), intArg(a, 1));
}

Item fnRight(Args a) {
  if (!isStr(a, 0) || !isNum(a, 1)) return argError("RIGHT", a);
  return RIGHT(strArg(a, 0), intArg(a, 1));
}

Item fnAt(Args a) {
  if (!isStr(a, 0) || !isStr(a, 1)) return argError("AT", a);
  return AT(strArg(a, 0), strArg(a, 1));
}

Item fnSpace(Args a) {
  if (!isNum(a, 0)) return argError("SPACE", a);
  if (intArg(a, 0) > kMaxStringLength)
    return sizeError("SPACE", a, EG_STROVERFLOW, "String too long");
  return SPACE(intArg(a, 0));
}

Item fnReplicate(Args a) {
  if (!isStr(a, 0) || !isNum(a, 1)) return argError("REPLICATE", a);
  double total = static_cast<double>(strArg(a, 0).size()) * std::max(intArg(a, 1), 0);
  if (total > kMaxStringLength) return sizeError("REPLICATE", a, EG_STROVERFLOW, "String too long");
  return REPLICATE(strArg(a, 0), intArg(a, 1));
}

template <std::string (*Pad)(std::string_view, int, char)>
Item pad(const char* name, Args a) {
  if (!isStr(a, 0) || !isNum(a, 1) || (!arg(a, 2).isNil() && !isStr(a, 2)))
    return argError(name, a);
  if (intArg(a, 1) > kMaxStringLength) return sizeError(name, a, EG_STROVERFLOW, "String too long");
  char fill = isStr(a, 2) && !strArg(a, 2).empty() ? strArg(a, 2)[0] : ' ';
  return Pad(strArg(a, 0), intArg(a, 1), fill);
}
Item fnPadL(Args a) {
  return pad<PADL>("PADL", a);
}
Item fnPadR(Args a) {
  return pad<PADR>("PADR", a);
}

Item fnStrTran(Args a) {
  if (!isStr(a, 0) || !isStr(a, 1) || (!arg(a, 2).isNil() && !isStr(a, 2)))
    return argError("STRTRAN", a);
  const std::string& find = strArg(a, 1);
  std::string replace = arg(a, 2).strOr("");
  // Each hit can grow the text by the replacement's length.
  if (!find.empty() && replace.size() > find.size() &&
      static_cast<double>(strArg(a, 0).size()) / static_cast<double>(find.size()) *
              static_cast<double>(replace.size()) >
          kMaxStringLength)
    return sizeError("STRTRAN", a, EG_STROVERFLOW, "String too long");
  return STRTRAN(strArg(a, 0), find, replace);
}

Item fnChr(Args a) {
  return isNum(a, 0) ? Item(CHR(intArg(a, 0))) : argError("CHR", a);
}
Item fnAsc(Args a) {
  return isStr(a, 0) ? Item(ASC(a[0].str())) : argError("ASC", a);
}

// --- Arrays ------------------------------------------------------------------

Item fnArray(Args a) {
  if (!isNum(a, 0) || intArg(a, 0) < 0) return argError("ARRAY", a);
  if (intArg(a, 0) > kMaxArray) return sizeError("ARRAY", a, EG_BOUND, "Array too long");
  return makeArray(static_cast<std::size_t>(intArg(a, 0)));
}

Item fnAAdd(Args a) {
  if (!arg(a, 0).isArray()) return argError("AADD", a);
  if (a[0].array()->size() >= static_cast<std::size_t>(kMaxArray))
    return sizeError("AADD", a, EG_BOUND, "Array too long");
  a[0].array()->push_back(arg(a, 1));
  return arg(a, 1);
}

// The 0-based range [first, last) that start and count select; the callable
// may change the array meanwhile, so every access checks the size again.
struct Range {
  std::size_t first;
  std::size_t last;
};
Range selected(const Array& array, const Item& start, const Item& count) {
  std::size_t size = array.size();
  std::size_t first =
      start.isNum() ? static_cast<std::size_t>(std::max(toInt(start.numOr(1)), 1)) - 1 : 0;
  first = std::min(first, size);
  std::size_t last = size;
  if (count.isNum()) last = first + static_cast<std::size_t>(std::max(toInt(count.numOr(0)), 0));
  return {first, std::min(last, size)};
}

Item fnAScan(Args a) {
  if (!arg(a, 0).isArray()) return argError("ASCAN", a);
  ArrayRef array = a[0].array();  // kept alive while callables run
  const Item& wanted = arg(a, 1);
  Range r = selected(*array, arg(a, 2), arg(a, 3));
  for (std::size_t i = r.first; i < r.last && i < array->size(); ++i) {
    Item element = (*array)[i];
    bool hit;
    if (wanted.isBlock())
      hit = wanted.block()->eval({element, static_cast<double>(i + 1)}).logOr(false);
    else if (element.type() != wanted.type())
      hit = false;
    else if (element.isArray() || element.isBlock() || element.isObject())
      hit = element.same(wanted);
    else
      hit = equal(element, wanted);
    if (hit) return static_cast<double>(i + 1);
  }
  return 0;
}

Item fnAEval(Args a) {
  if (!arg(a, 0).isArray() || !arg(a, 1).isBlock()) return argError("AEVAL", a);
  ArrayRef array = a[0].array();
  BlockRef block = a[1].block();
  bool assign = arg(a, 4).logOr(false);
  Range r = selected(*array, arg(a, 2), arg(a, 3));
  for (std::size_t i = r.first; i < r.last && i < array->size(); ++i) {
    Item result = block->eval({(*array)[i], static_cast<double>(i + 1)});
    if (assign && i < array->size()) (*array)[i] = std::move(result);
  }
  return a[0];
}

// Out of line, so that each row's temporaries take this small frame in turn
// rather than a slot each in the caller's: the table is first made inside a
// compile, deep in the stack, and stack pages touched once stay the
// process's for good.
[[gnu::noinline]] void row(std::vector<PublicRoutine>& table, const char* name, int params,
                           Item (*fn)(Args)) {
  table.push_back({name, params, fn});
}

// Names in upper case with their declared parameter counts.
std::vector<PublicRoutine> makeTable() {
  std::vector<PublicRoutine> table;
  table.reserve(35);
  row(table, "AADD", 2, fnAAdd);
  row(table, "ABS", 1, fnAbs);
  row(table, "AEVAL", 5, fnAEval);
  row(table, "ALLTRIM", 1, fnAllTrim);
  row(table, "ARRAY", 1, fnArray);
  row(table, "ASC", 1, fnAsc);
  row(table, "ASCAN", 4, fnAScan);
  row(table, "AT", 2, fnAt);
  row(table, "BREAK", 1, fnBreak);
  row(table, "CHR", 1, fnChr);
  row(table, "EMPTY", 1, fnEmpty);
  row(table, "EVAL", 1, fnEval);
  row(table, "IIF", 3, fnIIf);
  row(table, "INT", 1, fnInt);
  row(table, "LEFT", 2, fnLeft);
  row(table, "LEN", 1, fnLen);
  row(table, "LOWER", 1, fnLower);
  row(table, "LTRIM", 1, fnLTrim);
  row(table, "MAX", 2, fnMax);
  row(table, "MIN", 2, fnMin);
  row(table, "PADL", 3, fnPadL);
  row(table, "PADR", 3, fnPadR);
  row(table, "PCOUNT", 0, fnPCount);
  row(table, "REPLICATE", 2, fnReplicate);
  row(table, "RIGHT", 2, fnRight);
  row(table, "ROUND", 2, fnRound);
  row(table, "RTRIM", 1, fnRTrim);
  row(table, "SPACE", 1, fnSpace);
  row(table, "STR", 3, fnStr);
  row(table, "STRTRAN", 3, fnStrTran);
  row(table, "SUBSTR", 3, fnSubStr);
  row(table, "TRIM", 1, fnRTrim);
  row(table, "UPPER", 1, fnUpper);
  row(table, "VAL", 1, fnVal);
  row(table, "VALTYPE", 1, fnValtype);
  // Sorted for the binary search of findBuiltin().
  std::sort(table.begin(), table.end(),
            [](const PublicRoutine& a, const PublicRoutine& b) { return a.name < b.name; });
  return table;
}

const std::vector<PublicRoutine>& builtins() {
  static const std::vector<PublicRoutine> table = makeTable();
  return table;
}

}  // namespace

const PublicRoutine* findBuiltin(std::string_view name) {
  std::string upper = upperAscii(name);
  if (const PublicRoutine* r = findInTable(builtins(), upper)) return r;
  return hasLanguage() ? LANG().serviceRoutine(upper) : nullptr;
}

const PublicRoutine* findInTable(const std::vector<PublicRoutine>& sorted,
                                 std::string_view upperName) {
  auto it = std::lower_bound(
      sorted.begin(), sorted.end(), upperName,
      [](const PublicRoutine& r, std::string_view n) { return std::string_view(r.name) < n; });
  return it != sorted.end() && it->name == upperName ? &*it : nullptr;
}

}  // namespace krx
