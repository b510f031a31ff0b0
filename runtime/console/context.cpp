#include "runtime/console/context.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/console/servicebuiltins.h"

namespace krx {

Runtime::Runtime(std::unique_ptr<Backend> b) : backend(std::move(b)) {
  // SECONDS() runs on the monotonic clock from the local time of day read
  // once here, so that a step of the system clock cannot shorten a level.
  clock.originMonotonic = backend->monotonic();
  LocalTime t = backend->localTime();
  clock.originSeconds = t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

Runtime::~Runtime() = default;

std::string Runtime::dateFormat() const {
  return settings.values[SET_DATEFORMAT].strOr("mm/dd/yy");
}

const PublicRoutine* Runtime::serviceRoutine(std::string_view upperName) const {
  return findServiceBuiltin(upperName);
}

bool Runtime::hasField(std::string_view name) const {
  return FIELDPOS(name) > 0;
}

Item Runtime::fieldGet(std::string_view name) {
  return krx::fieldGet(name);
}

Item Runtime::fieldPut(std::string_view name, const Item& value) {
  return krx::fieldPut(name, value);
}

Item Runtime::inArea(const Item& area, const std::function<Item()>& fn) {
  return krx::inArea(area, fn);
}

void Runtime::errorOutput(std::string_view text) {
  backend->errorOutput(text);
}

Runtime& RT() {
  // Every language context is a runtime context: the language part is kept
  // apart only so that the language's files need not see the rest.
  return static_cast<Runtime&>(LANG());
}

bool hasRuntime() {
  return hasLanguage();
}

RuntimeScope::RuntimeScope(Runtime& rt) : previous_(setCurrentLanguage(&rt)) {}
RuntimeScope::~RuntimeScope() {
  setCurrentLanguage(previous_);
}

}  // namespace krx
