// What the timer tests read off the headless runtime: bands of large text
// as the players see them, composed from the glyphs' pictures for the
// expected side, and the tones heard, with the level-change chime as the
// organiser hears it.
#pragma once

#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/backends/headless.h"
#include "runtime/console/screen.h"
#include "support/glyph_pictures.h"

namespace timerscreen {

// The six rows of large text at `top` as the screen shows them, in UTF-8.
inline std::string band(const krx::Screen& s, int top) {
  std::string out;
  for (int r = top; r < top + 6; ++r) out += krx::cp437ToUtf8(s.rowBytes(r)) + '\n';
  return out;
}

// The six screen rows that show the phrase in large characters from column
// 0, composed from the glyphs' pictures.
inline std::string bandOf(std::string_view phrase) {
  std::string out;
  for (const std::string& line : expected::bigRows(phrase)) out += line + '\n';
  return out;
}

// Tones as (Hz, duration in tone units) in the order heard.
using Tones = std::vector<std::pair<double, double>>;
// Low, high, middle, longer each time: the chime of a new level.
inline const Tones kChime{{1000, 2}, {2000, 3}, {1600, 4}};

inline Tones concat(std::initializer_list<Tones> parts) {
  Tones out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The tones the headless runtime has sounded, their lengths back in tone
// units: the runtime's unit is a clock tick, 18.2 to the second.
inline Tones tonesHeard(const krx::HeadlessBackend& hl) {
  Tones out;
  for (const auto& t : hl.tones) out.emplace_back(t.hz, std::round(t.seconds * 18.2));
  return out;
}

}  // namespace timerscreen
