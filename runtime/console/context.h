// The runtime context: one object that owns all runtime state (screen,
// keyboard, clock, settings, the state of the services kept apart, and the
// language's part: error handler, variables, the routine registry). Runtime services reach the
// current one through RT(), the language its own part through LANG().
// Tests make a headless context of their own for each case.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "runtime/console/backend.h"
#include "runtime/console/console.h"
#include "runtime/console/fieldaccess.h"
#include "runtime/console/programstate.h"
#include "runtime/console/screen.h"
#include "runtime/console/settings.h"
#include "runtime/lang/langcontext.h"

namespace krx {

struct ClockState {
  double originSeconds = 0;    // SECONDS() at originMonotonic
  double originMonotonic = 0;  // backend monotonic reading at start
};

struct Runtime final : LangContext {
  explicit Runtime(std::unique_ptr<Backend> backend);
  ~Runtime();

  std::unique_ptr<Backend> backend;
  Screen screen;
  KeyboardState keyboard;
  ClockState clock;
  Settings settings;
  Item appWindow;  // SETAPPWINDOW
  std::vector<std::function<void()>> exitProcedures;
  // The services the timer never reaches (runtime/console/kept) plug in
  // here, so that the context knows nothing of them: the work areas answer
  // the language's questions about fields once offered (null: no fields),
  // and their state and the others' is kept one value per type, made at
  // first use, as the program's is.
  std::unique_ptr<FieldAccess> fields;
  ProgramState keptState;
  // Last, so that it goes first: the program's state may hold what the
  // members above made.
  ProgramState programState;

  // What the language asks of the services (runtime/lang/langcontext.h).
  std::string dateFormat() const override;
  const PublicRoutine* serviceRoutine(std::string_view upperName) const override;
  bool hasField(std::string_view name) const override;
  Item fieldGet(std::string_view name) override;
  Item fieldPut(std::string_view name, const Item& value) override;
  Item inArea(const Item& area, const std::function<Item()>& fn) override;
  void errorOutput(std::string_view text) override;
};

// The current runtime context. Using a runtime service with none current is
// a programming error and aborts with a message.
Runtime& RT();
bool hasRuntime();

// Makes a context current for the life of the scope.
class RuntimeScope {
 public:
  explicit RuntimeScope(Runtime& rt);
  ~RuntimeScope();
  RuntimeScope(const RuntimeScope&) = delete;
  RuntimeScope& operator=(const RuntimeScope&) = delete;

 private:
  LangContext* previous_;
};

}  // namespace krx
