// The entries of an organiser's structure as the tests write them down.
#pragma once

#include <string>
#include <utility>

#include "app/game/structure.h"

namespace entries {

// A level of `length` minutes (or hands) with blinds small/big and an ante.
inline potclock::Entry level(long small, long big, int length, long ante = 0) {
  return {false, small, big, ante, length, ""};
}

// A break of `minutes` with its note.
inline potclock::Entry pause(int minutes, std::string note = {}) {
  return {true, 0, 0, 0, minutes, std::move(note)};
}

}  // namespace entries
