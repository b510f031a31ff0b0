#include "runtime/console/kept/workareaaccess.h"

#include <memory>
#include <vector>

#include "runtime/console/fieldaccess.h"
#include "runtime/console/kept/workarea.h"
#include "runtime/lang/builtinargs.h"

namespace krx {

namespace {

Item fnFieldGet(Args a) {
  return isNum(a, 0) ? FIELDGET(intArg(a, 0)) : argError("FIELDGET", a);
}

Item fnFieldPut(Args a) {
  return isNum(a, 0) ? FIELDPUT(intArg(a, 0), arg(a, 1)) : argError("FIELDPUT", a);
}

Item fnFieldPos(Args a) {
  return isStr(a, 0) ? Item(FIELDPOS(a[0].str())) : argError("FIELDPOS", a);
}

Item fnFCount(Args) {
  return FCOUNT();
}

Item fnSelect(Args a) {
  if (isStr(a, 0)) return SELECT(a[0].str());
  return SELECT();
}

class WorkAreaAccess final : public FieldAccess {
 public:
  const PublicRoutine* routine(std::string_view upperName) const override {
    // Names in upper case with their declared parameter counts, sorted by name.
    static const std::vector<PublicRoutine> table{
        {"FCOUNT", 0, fnFCount},     {"FIELDGET", 1, fnFieldGet}, {"FIELDPOS", 1, fnFieldPos},
        {"FIELDPUT", 2, fnFieldPut}, {"SELECT", 1, fnSelect},
    };
    return findInTable(table, upperName);
  }
  bool hasField(std::string_view name) const override { return FIELDPOS(name) > 0; }
  Item fieldGet(std::string_view name) override { return krx::fieldGet(name); }
  Item fieldPut(std::string_view name, const Item& value) override {
    return krx::fieldPut(name, value);
  }
  Item inArea(const Item& area, const std::function<Item()>& fn) override {
    return krx::inArea(area, fn);
  }
};

}  // namespace

void offerWorkAreas(Runtime& rt) {
  rt.fields = std::make_unique<WorkAreaAccess>();
}

}  // namespace krx
