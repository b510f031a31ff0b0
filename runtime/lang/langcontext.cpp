#include "runtime/lang/langcontext.h"

#include <cstdio>
#include <cstdlib>

namespace krx {

namespace {
LangContext* current = nullptr;
}

LangContext& LANG() {
  if (!current) {
    std::fputs("potclock: runtime service used with no runtime context\n", stderr);
    std::abort();
  }
  return *current;
}

bool hasLanguage() {
  return current != nullptr;
}

LangContext* setCurrentLanguage(LangContext* context) {
  LangContext* previous = current;
  current = context;
  return previous;
}

}  // namespace krx
