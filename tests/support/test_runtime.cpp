#include "support/test_runtime.h"

#include <memory>

#include "frame/publics.h"

namespace {

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
