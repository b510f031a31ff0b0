// The language's part of a runtime context: the state compiled text and the
// error system run on (the handler and call stack, the dynamically scoped
// variables, the program's registry), and the few things the language asks
// of the services it runs under, which only they can answer: the date
// format, their own routines reachable by name, the fields of the current
// work area, and where a last-resort error message goes.
//
// The language reaches the current one through LANG(). The runtime context
// (runtime/console/context.h) is the only kind there is; keeping this part
// apart is what lets the language know nothing of screens and terminals.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/lang/error.h"
#include "runtime/lang/memvar.h"
#include "runtime/lang/registry.h"

namespace krx {

struct ErrorState {
  Item handler;  // nil until ERRORBLOCK installs one
  int errorLevel = 0;
  std::vector<FrameInfo> frames;
  // The call stack as it stood where the exception now unwinding left its
  // innermost routine; empty once that exception is caught.
  std::vector<FrameInfo> unwound;
  int handlerDepth = 0;  // handlers running now (an erring handler nests)
};

class LangContext {
 public:
  LangContext(const LangContext&) = delete;
  LangContext& operator=(const LangContext&) = delete;

  ErrorState errors;
  Memvars memvars;
  Registry registry;

  // The format dates are shown in ("mm/dd/yy" style).
  virtual std::string dateFormat() const = 0;
  // A routine of the services reachable by name (`upperName` in upper case),
  // searched after the language's own built-ins; null when there is none.
  virtual const PublicRoutine* serviceRoutine(std::string_view upperName) const = 0;
  // Fields of the current work area, by name: whether it has one, and its
  // value read or written (errors raised as the work areas raise them).
  virtual bool hasField(std::string_view name) const = 0;
  virtual Item fieldGet(std::string_view name) = 0;
  virtual Item fieldPut(std::string_view name, const Item& value) = 0;
  // Runs `fn` with the work area `area` (number or alias) selected.
  virtual Item inArea(const Item& area, const std::function<Item()>& fn) = 0;
  // A message for the standard error stream, when no handler can take it.
  virtual void errorOutput(std::string_view text) = 0;

 protected:
  LangContext() = default;
  ~LangContext() = default;
};

// The current context's language part. Using the language with no context
// current is a programming error and aborts with a message.
LangContext& LANG();
bool hasLanguage();

// Made current by the runtime context's scope (RuntimeScope), not directly.
// Returns the one that was current.
LangContext* setCurrentLanguage(LangContext* context);

}  // namespace krx
