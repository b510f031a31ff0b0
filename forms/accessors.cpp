#include "forms/accessors.h"

#include <string>

#include "runtime/console/kept/workarea.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

using krx::Item;

namespace {

// The texts the accessor callables are composed of, each used as written.
constexpr std::string_view kArrow = "->";
constexpr std::string_view kFieldAlias = "FIELD->";
constexpr std::string_view kReadOrWrite = "{|x| IIf(x==NIL,";
constexpr std::string_view kComma = ",";
constexpr std::string_view kAssignClose = ":=x) }";
constexpr std::string_view kOpenParen = "(";
constexpr std::string_view kCloseParenArrow = ")->";
constexpr std::string_view kAreaReadOrWrite = "(IIf(x==NIL,FIELD->";
constexpr std::string_view kAreaAssignClose = ":=x)) }";
constexpr std::string_view kMemvarAlias = "M->";
constexpr std::string_view kBlockOpen = "{|x| ";

constexpr std::string_view kAnchorText = "{|x| IIf( PCount()==0 , AnyVar, AnyVar:=x ) }";
constexpr std::string_view kBreakHandler = "{|e| Break(e) }";
constexpr std::string_view kNotObject = "{|x| Valtype(x) <> \"O\" }";
constexpr std::string_view kFromFields = "{|x,i| x:=FieldGet(i) }";
constexpr std::string_view kToFields = "{|x,i| FieldPut(i,x) }";
constexpr std::string_view kSetData = "{|o| o:setData() }";
constexpr std::string_view kGetData = "{|o| o:getData() }";

std::string cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (auto part : parts) out += part;
  return out;
}

bool qualified(std::string_view name) {
  return name.find(kArrow) != std::string_view::npos;
}

// AEVAL(array, callable, , , assign): the callable gets each element and its
// index; with `assign` its result replaces the element.
void aeval(const krx::ArrayRef& array, const krx::BlockRef& block, bool assign) {
  if (!block) return;
  const std::size_t count = array->size();
  for (std::size_t i = 0; i < count && i < array->size(); ++i) {
    Item result = block->eval({(*array)[i], Item(i + 1)});
    if (assign && i < array->size()) (*array)[i] = result;
  }
}

// ASCAN(array, callable): index (from 1) of the first element for which the
// callable is true; 0 when none.
std::size_t ascan(const krx::ArrayRef& array, const krx::BlockRef& block) {
  if (!block) return 0;
  for (std::size_t i = 0; i < array->size(); ++i) {
    Item hit = block->eval({(*array)[i], Item(i + 1)});
    if (hit.isLog() && hit.log()) return i + 1;
  }
  return 0;
}

bool allObjects(const krx::ArrayRef& array) {
  return ascan(array, krx::compileBlock(kNotObject)) == 0;
}

}  // namespace

krx::BlockRef ANCHORCB(const krx::VarRef& var) {
  KRX_ROUTINE("ANCHORCB");
  return krx::compileBlock(kAnchorText, {{"AnyVar", var ? var : krx::makeVar()}});
}

krx::BlockRef ANCHORCB(const Item& value) {
  return ANCHORCB(krx::makeVar(value));
}

krx::BlockRef ANCHORCB() {
  return ANCHORCB(krx::makeVar());
}

krx::BlockRef FIELDBLOCK(std::string_view cField) {
  KRX_ROUTINE("FIELDBLOCK");
  if (krx::FIELDPOS(cField) == 0) return nullptr;
  const std::string name = qualified(cField) ? std::string(cField) : cat({kFieldAlias, cField});
  return krx::compileBlock(cat({kReadOrWrite, name, kComma, name, kAssignClose}));
}

krx::BlockRef FIELDWBLOCK(std::string_view cField, const Item& area) {
  KRX_ROUTINE("FIELDWBLOCK");
  krx::ScopedArea keepArea;
  krx::DBSELECTAREA(area);
  // An unknown alias leaves the current area as it was (when the error
  // handler lets the call go on); its fields are not the ones asked for.
  if (area.isStr() && krx::SELECT() != krx::SELECT(area.str())) return nullptr;
  if (krx::FIELDPOS(cField) == 0) return nullptr;
  const std::string qualifier =
      area.isStr() ? cat({area.str(), kArrow})
                   : cat({kOpenParen, krx::LTRIM(krx::STR(area.num())), kCloseParenArrow});
  return krx::compileBlock(cat({kBlockOpen, qualifier, kAreaReadOrWrite, cField, kComma,
                                kFieldAlias, cField, kAreaAssignClose}));
}

krx::BlockRef MEMVARBLOCK(std::string_view cVar) {
  KRX_ROUTINE("MEMVARBLOCK");
  krx::BlockRef result;
  // Any error while probing or compiling means "no such variable": the
  // handler turns it into a break that the sequence swallows.
  krx::ScopedErrorBlock quiet(Item(krx::compileBlock(kBreakHandler)));
  krx::sequence([&] {
    const std::string name = qualified(cVar) ? std::string(cVar) : cat({kMemvarAlias, cVar});
    krx::macroEval(name);
    result = krx::compileBlock(cat({kReadOrWrite, name, kComma, name, kAssignClose}));
  });
  return result;
}

Item SCATTER(const Item& aData) {
  KRX_ROUTINE("SCATTER");
  Item target =
      aData.isArray() ? aData : Item(krx::makeArray(static_cast<std::size_t>(krx::FCOUNT())));
  const krx::ArrayRef& array = target.array();
  if (!array->empty()) {
    if (!allObjects(array)) {
      aeval(array, krx::compileBlock(kFromFields), true);
    } else {
      aeval(array, krx::compileBlock(kSetData), false);
    }
  }
  return target;
}

Item GATHER(const Item& aData) {
  KRX_ROUTINE("GATHER");
  if (aData.isArray()) {
    const krx::ArrayRef& array = aData.array();
    if (!allObjects(array)) {
      aeval(array, krx::compileBlock(kToFields), false);
    } else {
      aeval(array, krx::compileBlock(kGetData), false);
    }
  }
  return aData;
}

}  // namespace potclock
