#include "runtime/console/context.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/console/servicebuiltins.h"
#include "runtime/lang/error.h"

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
  if (const PublicRoutine* routine = findServiceBuiltin(upperName)) return routine;
  return fields ? fields->routine(upperName) : nullptr;
}

namespace {

// Without work areas there is no field and no alias to name: text that
// names one outright fails as text naming an unknown variable does.
Item noWorkAreas(int genCode, const std::string& description, std::string_view name) {
  auto e = makeError(genCode, description, std::string(name));
  e->canSubstitute = true;
  return raiseForResult(e);
}

}  // namespace

bool Runtime::hasField(std::string_view name) const {
  return fields && fields->hasField(name);
}

Item Runtime::fieldGet(std::string_view name) {
  if (fields) return fields->fieldGet(name);
  return noWorkAreas(EG_NOVAR, "Variable does not exist: " + std::string(name), name);
}

Item Runtime::fieldPut(std::string_view name, const Item& value) {
  if (fields) return fields->fieldPut(name, value);
  return noWorkAreas(EG_NOVAR, "Variable does not exist: " + std::string(name), name);
}

Item Runtime::inArea(const Item& area, const std::function<Item()>& fn) {
  if (fields) return fields->inArea(area, fn);
  return noWorkAreas(EG_NOALIAS, "Alias does not exist", "DBSELECTAREA");
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
