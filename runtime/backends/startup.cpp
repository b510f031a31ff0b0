#include "runtime/backends/startup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "runtime/backends/terminal.h"
#include "runtime/console/context.h"
#include "runtime/console/kept/workareaaccess.h"
#include "runtime/lang/error.h"

namespace krx {

void registerExitProcedure(void (*procedure)()) {
  RT().exitProcedures.emplace_back(procedure);
}

namespace {

// The runtime's own words for a failure that nobody handles.
void reportUnhandled(const std::string& description) {
  RT().backend->errorOutput("Error BASE/0  " + description + "\n");
}

// A failure from outside the runtime (an exception of the C++ library, or of
// a library a routine calls) escaped a step of the program. Where a routine
// can be blamed and a handler is installed it becomes a runtime error of that
// routine, so that the user sees it as any other error (and can have it
// logged); the routine itself is gone by now, so the program ends either way,
// with exit code 1 unless the handler chose another.
void endOnForeignFailure(const std::string& description) {
  Runtime& rt = RT();
  std::vector<FrameInfo> where = unwoundFrames();
  forgetUnwoundFrames();
  if (where.empty() || !rt.errors.handler.isBlock()) {
    reportUnhandled(description);
  } else {
    // The handler and its log see the call stack as it stood at the failure.
    std::vector<FrameInfo> outer = std::exchange(rt.errors.frames, where);
    auto error = makeError(0, description, where.back().name);
    try {
      raise(error);
    } catch (QuitSignal&) {
    } catch (BreakSignal&) {
    } catch (const std::exception& again) {
      reportUnhandled(description);
      reportUnhandled(again.what());
    } catch (...) {
      reportUnhandled(description);
    }
    rt.errors.frames = std::move(outer);
  }
  if (rt.errors.errorLevel == 0) rt.errors.errorLevel = 1;
}

// Runs one step of the program; _QUIT and a break that no recovery region
// caught both end it. A break with nowhere to go is an error exit, and so is
// a failure from outside the runtime.
bool runStep(const std::function<void()>& step) {
  if (!step) return true;
  try {
    step();
    return true;
  } catch (QuitSignal&) {
    return false;
  } catch (BreakSignal&) {
    RT().errors.errorLevel = 1;
    return false;
  } catch (const std::exception& failure) {
    endOnForeignFailure(failure.what());
    return false;
  } catch (...) {
    endOnForeignFailure("unknown exception");
    return false;
  }
}

// Started with 0, 1 or 2 closed, the next file or pipe we open would take
// that number, and whatever is later written to standard error (the closing
// words of the error log) would go into it. /dev/null keeps those numbers
// taken; it must happen before anything else opens a file.
void fillStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: this one, as the lower ones are open by now.
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

// Makes the runtime, runs the program's steps and its exit procedures, and
// returns the exit status; the backend is gone when it returns.
int run(const StartupRecord& record, std::unique_ptr<Backend> backend) {
  Runtime rt(std::move(backend));
  offerWorkAreas(rt);
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
    } catch (const std::exception& failure) {
      // Too late to ask anybody; the remaining procedures still run.
      reportUnhandled(failure.what());
      rt.errors.errorLevel = 1;
    } catch (...) {
      reportUnhandled("unknown exception");
      rt.errors.errorLevel = 1;
    }
  }
  return rt.errors.errorLevel;
}

}  // namespace

int krxStart(const StartupRecord& record, const BackendFactory& factory) {
  fillStandardDescriptors();
  // A write refused for a file-size limit is a failed write, which every
  // writer reports; the default action would end the clock instead.
  ::signal(SIGXFSZ, SIG_IGN);
  std::unique_ptr<Backend> backend = factory ? factory() : openTerminalBackend(record.terminal);
  if (!backend) return 1;
  int status = run(record, std::move(backend));
  // The terminal is restored by now: a program ended by SIGINT, SIGTERM or
  // SIGHUP ends as that signal would have ended it.
  TerminalBackend::reraisePendingSignal();
  return status;
}

}  // namespace krx
