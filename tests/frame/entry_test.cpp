#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/entry.h"
#include "frame/publics.h"
#include "runtime/backends/headless.h"
#include "runtime/backends/startup.h"
#include "runtime/console/context.h"

namespace potclock {
namespace {

std::uint32_t version(std::uint32_t word) {
  static std::uint32_t current;
  current = word;
  return current;
}

TEST(ProcessEntry, TooOldARuntimeRunsNothing) {
  bool made = false;
  EntryHooks hooks;
  hooks.versionQuery = [] { return version(0x0151FFFF); };
  hooks.backend = [&]() -> std::unique_ptr<krx::Backend> {
    made = true;
    return std::make_unique<krx::HeadlessBackend>();
  };
  EXPECT_EQ(processEntry(hooks), 999);
  EXPECT_FALSE(made);  // no window, no routine, no exit processing
}

TEST(ProcessEntry, RunsTheProgramOnANewEnoughRuntime) {
  for (std::uint32_t word : {0x01520000u, 0x015200FFu, 0x01530000u, 0x02000000u}) {
    std::string firstScreen;
    EntryHooks hooks;
    static std::uint32_t w;
    w = word;
    hooks.versionQuery = [] { return w; };
    hooks.backend = [&]() -> std::unique_ptr<krx::Backend> {
      auto hl = std::make_unique<krx::HeadlessBackend>();
      hl->onWait = [&](krx::HeadlessBackend&, const krx::Screen& s) {
        if (firstScreen.empty())
          for (int r = 0; r < 25; ++r) firstScreen += s.rowBytes(r) + "\n";
      };
      hl->keys({27});  // Escape at the first question ends the program
      return hl;
    };
    EXPECT_EQ(processEntry(hooks), 0) << std::hex << word;
    EXPECT_NE(firstScreen.find("Select: C(omputed or m(anual (c/m):  C"), std::string::npos)
        << firstScreen;
    EXPECT_NE(firstScreen.find("A - Home game blinds..."), std::string::npos);
  }
}

// A start-up record whose routines log their calls.
std::vector<std::string> calls;
krx::ModuleTables modules{{}, nullptr};
void logErrorsys() {
  calls.push_back("ERRORSYS");
}
void logDbesys() {
  calls.push_back("DBESYS");
}
void logAppsys() {
  calls.push_back("APPSYS");
}
void logAppexit() {
  calls.push_back("APPEXIT");
}
void registerLogExit() {
  krx::registerExitProcedure(logAppexit);
}

krx::StartupRecord record(void (*main)()) {
  krx::StartupRecord r;
  r.modules = &modules;
  r.registerExit = registerLogExit;
  r.errorsys = logErrorsys;
  r.dbesys = logDbesys;
  r.appsys = logAppsys;
  r.appexit = logAppexit;
  r.main = main;
  return r;
}

int start(void (*main)()) {
  calls.clear();
  return krx::krxStart(record(main), [] { return std::make_unique<krx::HeadlessBackend>(); });
}

TEST(StartRoutine, CallsTheFrameRoutinesInOrderAndExitProcessingOnce) {
  EXPECT_EQ(start([] { calls.push_back("MAIN"); }), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"ERRORSYS", "DBESYS", "APPSYS", "MAIN", "APPEXIT"}));

  // _QUIT ends at once and still runs exit processing, with its exit code.
  EXPECT_EQ(start([] {
              calls.push_back("MAIN");
              krx::ERRORLEVEL(3);
              krx::_QUIT();
              calls.push_back("after quit");
            }),
            3);
  EXPECT_EQ(calls, (std::vector<std::string>{"ERRORSYS", "DBESYS", "APPSYS", "MAIN", "APPEXIT"}));

  // A break that no recovery region catches is an error exit.
  EXPECT_EQ(start([] { krx::BREAK(1); }), 1);
  EXPECT_EQ(calls.back(), "APPEXIT");

  // A runtime error with no handler installed: message, exit code 1.
  EXPECT_EQ(start([] { krx::divide(1, 0); }), 1);
  EXPECT_EQ(calls.back(), "APPEXIT");
}

TEST(Registry, PublicRoutinesInTheirOrder) {
  krx::Registry r;
  registerPublicRoutines(r);
  std::vector<std::string> names;
  for (const auto& row : r.rows()) names.push_back(row.name);
  const std::vector<std::string> order{
      "MAIN",           "MYSECONDS",      "SAYBIG",          "BIGLETTERS",     "FIELDBLOCK",
      "FIELDWBLOCK",    "MEMVARBLOCK",    "ANCHORCB",        "SCATTER",        "GATHER",
      "READMODAL",      "GETREADER",      "GETAPPLYKEY",     "GETPREVALIDATE", "GETPOSTVALIDATE",
      "GETDOSETKEY",    "GETACTIVE",      "UPDATED",         "READEXIT",       "READINSERT",
      "READKILL",       "READUPDATED",    "READVAR",         "DISPSCOREBOARD", "RANGECHECK",
      "GETEVENTREADER", "GETHANDLEEVENT", "GETDOSETEVENT",   "GETLASTACTIVE",  "GETKILLACTIVE",
      "GETLIST",        "GETLISTPOS",     "GETENABLEEVENTS", "GETTOMOUSEPOS",  "READSTATUS",
      "APPSYS",         "APPEXIT",        "DBESYS",          "ERRORSYS",       "LINESPLIT"};
  EXPECT_EQ(names, order);
  EXPECT_TRUE(r.find("readstatus")->classFunction);
  EXPECT_EQ(r.find("RangeCheck")->params, 3);
}

}  // namespace
}  // namespace potclock
