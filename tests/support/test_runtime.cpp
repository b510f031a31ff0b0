#include "support/test_runtime.h"

#include <stdlib.h>

#include <memory>
#include <string>

#include "frame/publics.h"
#include "runtime/console/kept/workareaaccess.h"
#include "support/temp_dir.h"

namespace {

// MAIN keeps the running game under XDG_STATE_HOME: a test must never
// overwrite the game of the person who runs the tests, so every test
// process gets a state directory of its own, gone when it ends. Tests that
// look at the file set their own.
struct ScratchStateHome {
  TempDir dir;
  ScratchStateHome() { ::setenv("XDG_STATE_HOME", dir.path().c_str(), 1); }
};
const ScratchStateHome scratchStateHome;

std::unique_ptr<krx::Backend> headlessAt(const krx::LocalTime* start) {
  auto backend = std::make_unique<krx::HeadlessBackend>();
  if (start) backend->setLocalTime(*start);
  return backend;
}

}  // namespace

TestRuntime::TestRuntime() : TestRuntime(nullptr) {}

TestRuntime::TestRuntime(krx::LocalTime start) : TestRuntime(&start) {}

TestRuntime::TestRuntime(const krx::LocalTime* start)
    : rt(headlessAt(start)), hl(static_cast<krx::HeadlessBackend&>(*rt.backend)), scope_(rt) {
  krx::offerWorkAreas(rt);
  potclock::registerPublicRoutines(rt.registry);
}

std::string TestRuntime::rowText(int row) const {
  return krx::cp437ShapesToUtf8(rt.screen.rowBytes(row));
}

std::string TestRuntime::screenText() const {
  std::string out;
  for (int r = 0; r < krx::Screen::kRows; ++r) out += rowText(r) + '\n';
  return out;
}

krx::Attr TestRuntime::attrAt(int row, int col) const {
  return rt.screen.at(row, col).attr;
}
