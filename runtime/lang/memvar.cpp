#include "runtime/lang/memvar.h"

#include "runtime/lang/langcontext.h"
#include "runtime/lang/registry.h"

namespace krx {

// Names are kept upper case: text compiled at run time spells them in any case.

VarRef Memvars::definePublic(std::string_view name, Item initial) {
  std::string key = upperAscii(name);
  auto found = publics_.find(key);
  if (found != publics_.end()) return found->second;
  if (initial.isNil()) initial = false;
  VarRef var = makeVar(std::move(initial));
  publics_.emplace(std::move(key), var);
  return var;
}

VarRef Memvars::definePrivate(std::string_view name, Item initial) {
  VarRef var = makeVar(std::move(initial));
  privates_.emplace_back(upperAscii(name), var);
  return var;
}

VarRef Memvars::find(std::string_view name) const {
  std::string key = upperAscii(name);
  // The newest private of a name hides older ones and any public.
  for (auto it = privates_.rbegin(); it != privates_.rend(); ++it)
    if (it->first == key) return it->second;
  auto found = publics_.find(key);
  return found != publics_.end() ? found->second : nullptr;
}

void Memvars::releasePrivatesTo(std::size_t mark) {
  if (mark < privates_.size()) privates_.resize(mark);
}

PrivateScope::PrivateScope() : mark_(LANG().memvars.privateMark()) {}

PrivateScope::~PrivateScope() {
  if (hasLanguage()) LANG().memvars.releasePrivatesTo(mark_);
}

}  // namespace krx
