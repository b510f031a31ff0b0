#include "runtime/console/context.h"
#include "runtime/backends/fdio.h"
#include "runtime/backends/termsignals.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace krx {

namespace {
Runtime* current = nullptr;
}

void Backend::errorOutput(std::string_view text) {
  const std::size_t done = writeAll(STDERR_FILENO, text.data(), text.size());
  // Collected while the screen is up, where a file-size limit or a full
  // memory refuses it like any file: kept aside, so it still reaches the
  // user at the end.
  if (done < text.size()) termsignals::keepRefusedStderr(text.data() + done, text.size() - done);
}

double Backend::epochSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

Runtime::Runtime(std::unique_ptr<Backend> b) : backend(std::move(b)) {
  // SECONDS() runs on the monotonic clock from the local time of day read
  // once here, so that a step of the system clock cannot shorten a level.
  clock.originMonotonic = backend->monotonic();
  LocalTime t = backend->localTime();
  clock.originSeconds = t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

Runtime::~Runtime() = default;

Runtime& RT() {
  if (!current) {
    std::fputs("potclock: runtime service used with no runtime context\n", stderr);
    std::abort();
  }
  return *current;
}

bool hasRuntime() {
  return current != nullptr;
}

RuntimeScope::RuntimeScope(Runtime& rt) : previous_(current) {
  current = &rt;
}
RuntimeScope::~RuntimeScope() {
  current = previous_;
}

}  // namespace krx
