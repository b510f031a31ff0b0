// How a game's levels run: by the clock, or by hands counted one key each.
#pragma once

#include <optional>
#include <string_view>

namespace potclock {

enum class Mode { minutes, hands };

// The letter that stands for a mode in a game's file and in the dialogue's
// answer: "M" minutes, "H" hands.
constexpr std::string_view modeLetter(Mode mode) {
  return mode == Mode::hands ? "H" : "M";
}

// The mode a letter stands for; nothing for any other text.
constexpr std::optional<Mode> modeOfLetter(std::string_view letter) {
  if (letter == "H") return Mode::hands;
  if (letter == "M") return Mode::minutes;
  return std::nullopt;
}

}  // namespace potclock
