// Runtime errors and recovery.
//
// A failing operation builds an Error and calls raise(), which evaluates the
// installed handler (ERRORBLOCK) with it. The handler's answer comes back as
// a Recovery: retry the operation, take its default action, or use a
// substitute result. The handler may also not return: BREAK unwinds to the
// innermost recovery region (sequence()), _QUIT unwinds to the start routine.
// Both travel as C++ exceptions, so every scope guard on the way runs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace krx {

// Generic error codes (the `genCode` member).
enum GenCode : int {
  EG_ARG = 1,    // argument of the wrong type
  EG_BOUND = 2,  // index or row out of range
  EG_STROVERFLOW = 3,
  EG_NUMOVERFLOW = 4,
  EG_SYNTAX = 5,        // text that does not compile
  EG_NOFUNC = 6,        // no routine of that name
  EG_NOMETHOD = 7,      // object has no such method
  EG_NOVAR = 8,         // no variable of that name
  EG_NOALIAS = 9,       // no work area of that alias
  EG_NOVARMETHOD = 10,  // object has no such member
  EG_ZERODIV = 12,      // division or remainder by zero
  EG_CREATE = 20,       // a file could not be created
  EG_OPEN = 21,
  EG_READ = 23,
  EG_WRITE = 24,
  EG_NOTABLE = 35,  // no table open in the work area
  EG_DBCMD = 36,    // work-area operation failed
};

class Error : public Object {
 public:
  Item genCode = 0;
  Item subSystem = "BASE";
  Item subCode = 0;
  Item severity = 2;
  Item description = "";
  Item filename = "";
  Item operation = "";
  Item osCode = 0;
  Item args;  // nil or an array of the operands
  Item canDefault = false;
  Item canRetry = false;
  Item canSubstitute = false;
  Item cargo;
  Item thread = 1;
  Item tries = 0;

  std::string className() const override { return "ERROR"; }
  Item getMember(std::string_view name) override;
  void setMember(std::string_view name, const Item& value) override;
  Item send(std::string_view method, std::span<const Item> args) override;

 private:
  Item* member(std::string_view name);
};
using ErrorRef = std::shared_ptr<Error>;

// A new error with the usual members filled in.
ErrorRef makeError(int genCode, std::string description, std::string operation = "",
                   std::vector<Item> args = {}, int subCode = 0);

struct Recovery {
  enum Kind { Retry, Default, Substitute } kind;
  Item value;  // the substitute result
};

// Hands the error to the installed handler and interprets its answer: true
// retries (when the error allows it; `tries` is counted), a value other than
// a logical substitutes (when allowed), anything else is the default action.
// With no handler installed the description goes to standard error and the
// program ends with exit code 1.
Recovery raise(const ErrorRef& error);

// The usual shape of an operation that fails: raise until the handler gives
// a substitute or the default; returns the substitute, or `fallback`.
Item raiseForResult(const ErrorRef& error, Item fallback = {});

// BREAK(value): leaves the innermost recovery region with the value.
struct BreakSignal {
  Item value;
};
// _QUIT(): ends the program; caught only by the start routine.
struct QuitSignal {};

[[noreturn]] void BREAK(Item value = {});
[[noreturn]] void _QUIT();

// Forgets where the exception just caught arose (see unwoundFrames).
void forgetUnwoundFrames();

// BEGIN SEQUENCE body RECOVER USING value recover END: runs `body`; a BREAK
// out of it runs `recover` with the break value.
template <class Body, class Recover>
void sequence(Body&& body, Recover&& recover) {
  try {
    body();
  } catch (BreakSignal& brk) {
    forgetUnwoundFrames();
    recover(brk.value);
  }
}
template <class Body>
void sequence(Body&& body) {
  sequence(std::forward<Body>(body), [](const Item&) {});
}

// ERRORBLOCK([handler]): returns the installed handler, installing the new
// one when a callable is given.
Item ERRORBLOCK();
Item ERRORBLOCK(const Item& handler);

// Installs a handler for the life of the scope and restores the previous one
// on every path out.
class ScopedErrorBlock {
 public:
  explicit ScopedErrorBlock(const Item& handler) : previous_(ERRORBLOCK(handler)) {}
  ~ScopedErrorBlock() { ERRORBLOCK(previous_); }
  ScopedErrorBlock(const ScopedErrorBlock&) = delete;
  ScopedErrorBlock& operator=(const ScopedErrorBlock&) = delete;

 private:
  Item previous_;
};

// ERRORLEVEL([code]): the process exit code; returns the previous one.
int ERRORLEVEL();
int ERRORLEVEL(int code);

// --- Routine frames: what PROCNAME and PROCLINE report ---------------------
struct FrameInfo {
  std::string name;
  int line = 0;
};

// Pushes a frame for the life of a routine. KRX_ROUTINE("NAME") at the top of
// every public routine; KRX_LINE() before a call whose caller line matters.
class ProcFrame {
 public:
  ProcFrame(std::string name, int line);
  ~ProcFrame();
  ProcFrame(const ProcFrame&) = delete;
  ProcFrame& operator=(const ProcFrame&) = delete;
  void setLine(int line);

 private:
  std::size_t depth_;
  int uncaught_;  // exceptions in flight when the routine began
};

// The call stack as it stood where the exception being handled left its
// innermost routine; empty when it left none, or once a routine has begun
// since.
const std::vector<FrameInfo>& unwoundFrames();

#define KRX_ROUTINE(name) ::krx::ProcFrame krxFrame_(name, __LINE__)
#define KRX_LINE() krxFrame_.setLine(__LINE__)

// Where a call was made. A routine that takes one as a defaulted last
// parameter records the line of its call in the caller's frame itself, so
// that every caller shows the right line without a marker of its own.
class CallSite {
 public:
  // The line of the call whose default argument this is.
  // (The builtin rather than std::source_location, which the fuzz build's
  // compiler cannot give with this standard library.)
  static CallSite here(int line = __builtin_LINE()) { return CallSite(line); }
  // A call from compiled text: the callable's frame keeps its own line.
  static CallSite unknown() { return CallSite(0); }
  int line() const { return line_; }

 private:
  explicit CallSite(int line) : line_(line) {}
  int line_;
};

// Records the line of a call in the innermost frame, the one making it.
void markCallerLine(const CallSite& from);

// Level 0 is the routine that asks; "" and 0 beyond the outermost frame.
std::string PROCNAME(int level = 0);
int PROCLINE(int level = 0);

}  // namespace krx
