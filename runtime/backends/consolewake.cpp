#include "runtime/backends/consolewake.h"

#include <algorithm>
#include <fstream>

namespace krx {

int blankMinutes(std::optional<int> seconds) {
  // Unknown: the console's long-standing ten minutes, so that a screen left
  // behind after the game still goes dark rather than burning for ever.
  if (!seconds) return 10;
  if (*seconds <= 0) return 0;
  // A part minute counts whole, so that blanking that was on stays on; the
  // console takes at most an hour.
  return std::min(*seconds / 60 + (*seconds % 60 != 0 ? 1 : 0), 60);
}

namespace {

std::optional<int> blankSecondsInForce() {
  std::ifstream in("/sys/module/kernel/parameters/consoleblank");
  int seconds = 0;
  if (!(in >> seconds) || seconds < 0) return std::nullopt;
  return seconds;
}

}  // namespace

ConsoleWake ConsoleWake::forTerminal(std::string_view term) {
  if (term != "linux" && !term.starts_with("linux-")) return {};
  return {"\x1b[9;0]\x1b[14;0]",
          "\x1b[9;" + std::to_string(blankMinutes(blankSecondsInForce())) + "]"};
}

}  // namespace krx
