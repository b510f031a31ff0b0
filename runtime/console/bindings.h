// Callables bound to codes: SETKEY's to keys, SETAPPEVENT's to events.
#pragma once

#include <map>

#include "runtime/lang/item.h"

namespace krx {

class CodeBindings {
 public:
  // The callable bound to `code`, or nil.
  Item at(int code) const {
    const auto it = byCode_.find(code);
    return it == byCode_.end() ? Item() : it->second;
  }
  // Binds `callable` to `code`, or unbinds it when nil; returns the binding
  // it replaces.
  Item bind(int code, const Item& callable) {
    Item previous = at(code);
    if (callable.isNil()) {
      byCode_.erase(code);
    } else {
      byCode_[code] = callable;
    }
    return previous;
  }

 private:
  std::map<int, Item> byCode_;
};

}  // namespace krx
