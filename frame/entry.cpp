#include "frame/entry.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/disk/gamelock.h"
#include "app/disk/resume.h"
#include "app/disk/statefile.h"
#include "app/game/schedule.h"
#include "app/game/structurefile.h"
#include "app/main.h"
#include "app/screens/display.h"
#include "app/web/server.h"
#include "errors/errorsys.h"
#include "frame/publics.h"
#include "kept/dbesys.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"

namespace potclock {

namespace {

constexpr std::uint32_t kRequiredVersion = 0x01520000;  // 1.82.0

// Program constants are static data built at compile time, so no module
// needs code to run before its first routine: the initialiser list is empty.
const krx::ModuleTables kModules{{}, registerPublicRoutines};

// Enters APPEXIT into the runtime's exit-procedure list.
void registerExit() {
  krx::registerExitProcedure(APPEXIT);
}

}  // namespace

int refuseResume(const Refusal& refusal) {
  const int status = refusal.over ? 0 : 1;
  if (krx::hasRuntime()) {
    krx::OUTERR(refusal.message + "\n");
    krx::ERRORLEVEL(status);
  } else {
    std::fprintf(stderr, "%s\n", refusal.message.c_str());
  }
  return status;
}

int processEntry(const EntryHooks& hooks, const Options& options) {
  if ((hooks.versionQuery() & 0xFFFFFF00u) < kRequiredVersion) return 999;
  // A browser display takes no terminal: it only reads the game's files.
  if (options.serve)
    return serveGame(stateLocation(),
                     {options.serveHost, options.servePort, options.game, options.quiet});
  std::optional<Structure> structure;
  if (!options.structureFile.empty()) {
    // A file that cannot be used is refused with all its problems before
    // the terminal is taken, and nothing is written.
    auto read = readStructureFile(options.structureFile);
    if (!read.ok()) {
      for (const std::string& problem : read.failure())
        std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
    structure = std::move(read.value());
  }
  const std::filesystem::path file = gameStatePath(options.game);
  // Held until the program has ended: a second clock on the game neither
  // writes nor removes the game's file. It runs as a clock always has, and
  // says that it does not keep the game; only --resume of a game another
  // clock runs is turned away, before it touches the terminal. A display
  // only reads, and any number of them may follow a game.
  GameClaim claim;
  if (!options.watch) claim = claimGame(file, options.game, !options.resume);
  if (!claim.refusal.empty() && options.resume) {
    std::fprintf(stderr, "%s\n", claim.refusal.c_str());
    return 1;
  }
  // The game to take up is read once, here, and handed to RESUME.
  std::optional<SavedGame> saved;
  if (options.resume) {
    using namespace std::chrono;
    const double now = duration<double>(system_clock::now().time_since_epoch()).count();
    auto loaded = loadSavedGame(file, now);
    if (!loaded.ok()) return refuseResume(loaded.failure());
    saved = std::move(loaded.value());
  }
  // The planned start is fixed now, before the dialogue takes its time.
  // The command line's before the structure file's.
  const std::optional<int> startMinute = options.startMinute ? options.startMinute
                                         : structure         ? structure->startMinute
                                                             : std::nullopt;
  const double startsAt =
      startMinute ? static_cast<double>(nextTimeOfDay(*startMinute, std::time(nullptr))) : 0;
  std::function<void()> main;
  if (options.watch) {
    main = [game = options.game] {
      KRX_ROUTINE("WATCH");
      watchGame(stateLocation(), game);
    };
  } else if (structure) {
    main = [t = std::move(*structure), file, notKept = claim.notKept, startsAt] {
      KRX_ROUTINE("MAIN");
      playStructure(t, file, notKept, startsAt);
    };
  } else if (saved) {
    main = [game = std::move(*saved)] {
      if (const auto resumed = RESUME(game, StateWriter::Writing::inBackground); !resumed.ok())
        refuseResume(resumed.failure());
    };
  } else {
    main = [game = options.game, notKept = claim.notKept, startsAt] {
      KRX_ROUTINE("MAIN");
      playNewGame(game, notKept, startsAt);
    };
  }
  krx::__This_executable_needs_version_1_82_0();

  krx::StartupRecord record;
  record.modules = &kModules;
  record.registerExit = registerExit;
  record.errorsys = ERRORSYS;
  record.appsys = APPSYS;
  record.appexit = APPEXIT;
  record.dbesys = DBESYS;
  record.main = std::move(main);
  record.terminal.filled = options.fill;
  record.terminal.quiet = options.quiet;
  return krx::krxStart(record, hooks.backend);
}

}  // namespace potclock
