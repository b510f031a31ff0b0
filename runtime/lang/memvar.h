// Dynamically scoped variables: publics and privates, reached by name.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/lang/object.h"

namespace krx {

class Memvars {
 public:
  // Creates a public variable (nil becomes .F., as publics start) unless one
  // of that name exists; returns its storage.
  VarRef definePublic(std::string_view name, Item initial = false);
  // Creates a private variable that hides any of the same name until the
  // matching PrivateScope ends.
  VarRef definePrivate(std::string_view name, Item initial = {});
  // The visible variable of that name (privates before publics), or null.
  VarRef find(std::string_view name) const;

  std::size_t privateMark() const { return privates_.size(); }
  void releasePrivatesTo(std::size_t mark);

  // The compiled callables being evaluated, innermost last, each with the
  // number of arguments it was given: PCOUNT() answers for the innermost one,
  // and the depth bounds runaway recursion through callables.
  void pushActivation(std::size_t argCount) { activations_.push_back(argCount); }
  void popActivation() { activations_.pop_back(); }
  std::size_t activationDepth() const { return activations_.size(); }
  std::size_t innermostArgCount() const { return activations_.empty() ? 0 : activations_.back(); }

 private:
  std::map<std::string, VarRef> publics_;
  std::vector<std::pair<std::string, VarRef>> privates_;
  std::vector<std::size_t> activations_;
};

// Releases the privates created while it lives.
class PrivateScope {
 public:
  PrivateScope();
  ~PrivateScope();
  PrivateScope(const PrivateScope&) = delete;
  PrivateScope& operator=(const PrivateScope&) = delete;

 private:
  std::size_t mark_;
};

}  // namespace krx
