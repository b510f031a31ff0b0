#include "frame/entry.h"

#include <chrono>

#include "app/gamestate.h"
#include "app/main.h"
#include "app/resume.h"
#include "errors/errorsys.h"
#include "frame/publics.h"

namespace potclock {

namespace {

constexpr std::uint32_t kRequiredVersion = 0x01520000;  // 1.82.0

// Program constants are static data built at compile time, so no module
// needs code to run before its first routine: the initialiser list is empty.
const krx::ModuleTables kModules{{}, registerPublicRoutines};

// Enters APPEXIT into the runtime's exit-procedure list.
void registerExit() {
  krx::registerExitProcedure(&kModules, APPEXIT);
}

}  // namespace

int processEntry(const EntryHooks& hooks, const Options& options) {
  if ((hooks.versionQuery() & 0xFFFFFF00u) < kRequiredVersion) return 999;
  if (options.resume) {
    using namespace std::chrono;
    const double now = duration<double>(system_clock::now().time_since_epoch()).count();
    if (const auto status = resumeRefusal(gameStatePath(), now)) return *status;
  }
  krx::__This_executable_needs_version_1_82_0();
  void* hook = krx::initHook();

  krx::StartupRecord record;
  record.modules = &kModules;
  record.hint1 = 2000000;
  record.hint2 = 167772160;
  record.hint3 = 1;
  record.registerExit = registerExit;
  record.errorsys = ERRORSYS;
  record.appsys = APPSYS;
  record.appexit = APPEXIT;
  record.dbesys = DBESYS;
  record.main = options.resume ? RESUME : MAIN;
  record.terminal.filled = options.fill;
  record.initHook = hook;
  return krx::krxStart(record, hooks.backend);
}

}  // namespace potclock
