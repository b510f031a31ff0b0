// Keeps a Linux text console's screen lit while the program runs.
//
// The kernel blanks a virtual console after some minutes without a key
// press, which for a clock on the wall means a black screen in the middle of
// a level. The console has control sequences of its own for the blanking
// interval (CSI 9;n ]) and the power-down interval (CSI 14;n ]), both in
// minutes; both are switched off at start and the blanking interval that was
// in force is put back on the way out. The kernel tells that interval, in
// seconds, in its `consoleblank` parameter; the power-down interval cannot be
// read and is left off, which is also the kernel's own setting (and acts only
// once the screen has blanked). Other terminals are left alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace krx {

struct ConsoleWake {
  std::string enter;  // switches blanking and power-down off
  std::string leave;  // puts the blanking interval back

  // The sequences for terminal type `term`: empty unless it is a Linux
  // console, for which the interval in force is read from the kernel.
  static ConsoleWake forTerminal(std::string_view term);
};

// The console's blanking interval in whole minutes (as its sequence takes
// it) for an interval in seconds; nullopt (unknown) gives ten minutes.
int blankMinutes(std::optional<int> seconds);

}  // namespace krx
