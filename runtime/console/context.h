// The runtime context: one object that owns all runtime state (screen,
// keyboard, clock, settings, error handler, variables, work areas, the
// routine registry). Runtime services reach the current one through RT().
// Tests make a headless context of their own for each case.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "runtime/console/appwindow.h"
#include "runtime/console/backend.h"
#include "runtime/console/console.h"
#include "runtime/console/events.h"
#include "runtime/console/programstate.h"
#include "runtime/console/screen.h"
#include "runtime/console/settings.h"
#include "runtime/console/workarea.h"
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

struct ClockState {
  double originSeconds = 0;    // SECONDS() at originMonotonic
  double originMonotonic = 0;  // backend monotonic reading at start
};

struct Runtime {
  explicit Runtime(std::unique_ptr<Backend> backend);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  std::unique_ptr<Backend> backend;
  Screen screen;
  KeyboardState keyboard;
  EventState events;
  ClockState clock;
  Settings settings;
  ErrorState errors;
  Memvars memvars;
  WorkAreas workAreas;
  Registry registry;
  Item appWindow;  // SETAPPWINDOW
  AppState app;    // engines, session and the application-type hook
  std::vector<std::function<void()>> exitProcedures;
  // Last, so that it goes first: the program's state may hold what the
  // members above made.
  ProgramState programState;
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
  Runtime* previous_;
};

}  // namespace krx
