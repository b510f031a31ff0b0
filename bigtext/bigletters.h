// The large-character font and the writer that puts a phrase on the screen
// six rows high.
#pragma once

#include <string>
#include <string_view>

namespace potclock {

// Row `pnrow` (1 top to 6 bottom) of the phrase in large characters: the
// glyphs' rows left to right with one blank between neighbours; characters
// outside the font are left out. A row outside 1 to 6 raises a bound error.
std::string BIGLETTERS(std::string_view pcphrase, int pnrow);

// Blanks rows pnrow..pnrow+5 across the screen in the standard colour and
// writes the phrase there from column 0.
void SAYBIG(int pnrow, std::string_view pcphrase);

}  // namespace potclock
