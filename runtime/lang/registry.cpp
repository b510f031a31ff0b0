#include "runtime/lang/registry.h"

#include "runtime/lang/langcontext.h"

namespace krx {

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

void Registry::add(std::string name, int params, NativeFn fn, bool classFunction) {
  name = upperAscii(name);
  for (auto& row : rows_) {
    if (row.name == name) {
      row = {std::move(name), params, std::move(fn), classFunction};
      return;
    }
  }
  rows_.push_back({std::move(name), params, std::move(fn), classFunction});
}

const PublicRoutine* Registry::find(std::string_view name) const {
  std::string upper = upperAscii(name);
  for (const auto& row : rows_)
    if (row.name == upper) return &row;
  return nullptr;
}

const PublicRoutine* resolveRoutine(std::string_view name) {
  if (const PublicRoutine* builtin = findBuiltin(name)) return builtin;
  return LANG().registry.find(name);
}

bool ISFUNCTION(std::string_view name, int flags) {
  (void)flags;  // routines and classes share one namespace here
  return resolveRoutine(name) != nullptr;
}

}  // namespace krx
