#include "runtime/console/version.h"

namespace krx {

namespace {
constexpr std::uint32_t kVersion = 0x01520300;  // 1.82.3, build 0
}

std::uint32_t versionWord() {
  return kVersion;
}

extern "C" int __This_executable_needs_version_1_82_0() {
  return 1;
}

}  // namespace krx
