// The process entry: checks the runtime's version and hands the program to
// the runtime's start routine.
#pragma once

#include <cstdint>

#include "app/disk/resume.h"
#include "frame/options.h"
#include "runtime/backends/startup.h"

namespace potclock {

// What a test may put in place of the real runtime's answers.
struct EntryHooks {
  std::uint32_t (*versionQuery)() = krx::versionWord;
  krx::BackendFactory backend;  // empty: the terminal
};

// 999 when the runtime is older than 1.82.0 (nothing else happens then);
// otherwise the exit status of the run. With `resume`, a game that cannot or
// need not be resumed ends the run before the terminal is taken.
int processEntry(const EntryHooks& hooks = {}, const Options& options = {});

// Tells why a saved game is not taken up, on standard error (the runtime's
// while one runs, which holds it until the terminal is back), and returns
// the exit status for it, which it also sets while a runtime runs: 0 when
// the game is over, 1 when there is none or its file cannot be used.
int refuseResume(const Refusal& refusal);

// The frame routines the start-up record names.
void APPSYS();
void APPEXIT();

}  // namespace potclock
