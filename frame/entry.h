// The process entry: checks the runtime's version and hands the program to
// the runtime's start routine.
#pragma once

#include <cstdint>

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

// The frame routines the start-up record names.
void APPSYS();
void APPEXIT();

}  // namespace potclock
