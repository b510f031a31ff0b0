#include "runtime/appwindow.h"

#include <set>

#include "runtime/context.h"
#include "runtime/registry.h"

namespace krx {

int APPTYPE() { return 2; }

Item RootCrt::getMember(std::string_view name) {
  std::string n = upperAscii(name);
  if (n == "CREATEBUFFER") return createBuffer;
  return Object::getMember(name);
}

void RootCrt::setMember(std::string_view name, const Item& value) {
  if (upperAscii(name) == "CREATEBUFFER" && value.isLog()) {
    createBuffer = value.logOr(false);
    return;
  }
  Object::setMember(name, value);
}

Item RootCrt::send(std::string_view method, std::span<const Item> args) {
  std::string m = upperAscii(method);
  if (m == "CREATE") {
    Create();
    return Item(shared_from_this());
  }
  if (m == "ISDERIVEDFROM" && !args.empty()) {
    if (args[0].isStr()) return isDerivedFrom(args[0].strOr(""));
    if (auto other = args[0].as<Object>()) return isDerivedFrom(other->className());
    return false;
  }
  return Object::send(method, args);
}

std::shared_ptr<RootCrt> ROOTCRT_New() { return std::make_shared<RootCrt>(); }

Item SETAPPWINDOW() { return RT().appWindow; }

Item SETAPPWINDOW(const Item& window) {
  Item previous = RT().appWindow;
  RT().appWindow = window;
  return previous;
}

std::string APPNAME(bool longForm) { return longForm ? "potclock (blinds timer)" : "potclock"; }

namespace {
const std::set<std::string> kEngines{"DBFDBE", "NTXDBE", "DELDBE", "SDFDBE"};
}

bool DBELOAD(std::string_view name, bool flag) {
  (void)flag;
  return kEngines.count(upperAscii(name)) != 0;
}

bool DBEBUILD(std::string_view name, std::string_view first, std::string_view second) {
  return !name.empty() && DBELOAD(first, true) && DBELOAD(second, true);
}

}  // namespace krx
