// The runtime's side of start-up: its version, the start-up record a program
// hands over, and the start routine that drives the program from there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "runtime/console/backend.h"
#include "runtime/console/version.h"
#include "runtime/lang/registry.h"

namespace krx {

struct ModuleTables {
  // Run once before the program's first routine, in order.
  std::span<void (*const)()> initialisers;
  // Enters the program's public routines into the registry.
  void (*registerPublics)(Registry&) = nullptr;
};

// Choices the program makes for the terminal backend before it opens.
struct TerminalOptions {
  // Start with the screen filled out to the terminal rather than centred
  // (Alt-Enter switches between the two either way).
  bool filled = false;
  // No tones at all: a tone neither sounds nor takes its time.
  bool quiet = false;
};

struct StartupRecord {
  const ModuleTables* modules = nullptr;
  void (*registerExit)() = nullptr;
  void (*errorsys)() = nullptr;
  void (*appsys)() = nullptr;
  void (*appexit)() = nullptr;
  void (*dbesys)() = nullptr;
  // A program's main routine may carry what its command line chose.
  std::function<void()> main;
  // How the terminal backend starts (krxStart passes it on).
  TerminalOptions terminal;
};

using BackendFactory = std::function<std::unique_ptr<Backend>()>;

// The start routine. Makes the backend (the terminal, opened with the
// record's terminal options, unless a factory is given; null from the
// factory means it could not start and has said why),
// then calls the error system set-up, the database and console set-up, the
// main routine once, and the exit procedures once however the program ends
// (_QUIT included). Returns the process exit status (ERRORLEVEL).
int krxStart(const StartupRecord& record, const BackendFactory& factory = {});

// The terminal backend, or null after a one-line message on standard error
// when standard input is not a terminal or the terminal type is unknown.
std::unique_ptr<Backend> openTerminalBackend(const TerminalOptions& options = {});

// Enters a procedure into the exit-procedure list of the running program.
void registerExitProcedure(void (*procedure)());

}  // namespace krx
