// The runtime's version, which a program can show and check.
#pragma once

#include <cstdint>

namespace krx {

// Major version in the top byte, minor in the next, revision in the next,
// build in the lowest.
std::uint32_t versionWord();

// Present in the library so that a program built for this runtime cannot be
// bound to an older one.
extern "C" int __This_executable_needs_version_1_82_0();

}  // namespace krx
