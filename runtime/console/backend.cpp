#include "runtime/console/backend.h"

#include <chrono>

namespace krx {

double Backend::epochSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace krx
