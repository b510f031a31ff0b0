// The remaining time as the players read it under the level's blinds: three
// blanks and MM:SS from ten minutes up, four blanks and M:SS below, seconds
// always in two digits. Written out here as the screen shows it, so that the
// timer's own text building is checked against it.
#pragma once

#include <string>

namespace expected {

inline std::string countdownText(int seconds) {
  std::string secs = std::to_string(seconds % 60);
  if (secs.size() < 2) secs = "0" + secs;
  return std::string(seconds >= 600 ? "   " : "    ") + std::to_string(seconds / 60) + ":" + secs;
}

}  // namespace expected
