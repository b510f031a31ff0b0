#include "runtime/startup.h"

#include "runtime/context.h"
#include "runtime/error.h"
#include "runtime/terminal.h"

namespace krx {

namespace {
constexpr std::uint32_t kVersion = 0x01520300;  // 1.82.3, build 0
int hookToken = 0;
}  // namespace

std::uint32_t versionWord() {
  return kVersion;
}

extern "C" int __This_executable_needs_version_1_82_0() {
  return 1;
}

void* initHook() {
  return &hookToken;
}

void registerExitProcedure(const ModuleTables* modules, void (*procedure)()) {
  (void)modules;
  RT().exitProcedures.emplace_back(procedure);
}

namespace {

// Runs one step of the program; _QUIT and a break that no recovery region
// caught both end it. A break with nowhere to go is an error exit.
bool runStep(void (*step)()) {
  if (!step) return true;
  try {
    step();
    return true;
  } catch (QuitSignal&) {
    return false;
  } catch (BreakSignal&) {
    RT().errors.errorLevel = 1;
    return false;
  }
}

// Makes the runtime, runs the program's steps and its exit procedures, and
// returns the exit status; the backend is gone when it returns.
int run(const StartupRecord& record, std::unique_ptr<Backend> backend) {
  Runtime rt(std::move(backend));
  RuntimeScope scope(rt);
  if (record.modules) {
    if (record.modules->registerPublics) record.modules->registerPublics(rt.registry);
    for (auto init : record.modules->initialisers) init();
  }
  if (record.registerExit) record.registerExit();

  runStep(record.errorsys) && runStep(record.dbesys) && runStep(record.appsys) &&
      runStep(record.main);

  // Each exit procedure runs once, whatever way the program ended; one that
  // quits or breaks does not keep the others from running.
  auto procedures = std::move(rt.exitProcedures);
  rt.exitProcedures.clear();
  for (auto& procedure : procedures) {
    try {
      procedure();
    } catch (QuitSignal&) {
    } catch (BreakSignal&) {
    }
  }
  return rt.errors.errorLevel;
}

}  // namespace

int krxStart(const StartupRecord& record, const BackendFactory& factory) {
  std::unique_ptr<Backend> backend = factory ? factory() : openTerminalBackend(record.terminal);
  if (!backend) return 1;
  int status = run(record, std::move(backend));
  // The terminal is restored by now: a program ended by SIGINT, SIGTERM or
  // SIGHUP ends as that signal would have ended it.
  TerminalBackend::reraisePendingSignal();
  return status;
}

}  // namespace krx
