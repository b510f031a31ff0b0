// Row 22 of the timer screens, the next level and the time of day, and how
// rows 21 to 24 show on a TV: filled out with blocks two or more terminal
// rows high, they become a band with the next level's blinds and the time of
// day in large characters, six terminal rows high, readable from the far
// table. Every write of row 22 goes through here, so the band is made from
// exactly what the row says; the runtime shows the rows as blocks again the
// moment anything else writes to them.
#pragma once

#include <optional>
#include <string>

#include "app/game/game.h"
#include "runtime/console/screen.h"

namespace potclock {

// Row 22: the heading and the next level; the band follows.
void showNextLevel(const NextLevel& next);
// Row 22 at the right: the time of day now, or blanks while the quit
// question is open; the band follows.
void showTimeOfDay();
void hideTimeOfDay();
// The band again after other writes to rows 21 to 24 (the key hints).
void showBand();
// No band: the timer screens are left.
void dropBand();
struct BandScope {
  BandScope() = default;
  ~BandScope() { dropBand(); }
  BandScope(const BandScope&) = delete;
  BandScope& operator=(const BandScope&) = delete;
};

// The band of `screen`'s rows 21 to 24 in `cols` by `rows` terminal cells
// (`cols` a multiple of 80): the heading and `next` at the left, the time of
// day row 22 shows (unless blanked) at the right, the key hints of row 23
// along the bottom. Nothing when it does not fit, or when the rows say
// anything else than row 22 with `next` and the hints.
std::optional<krx::FinePicture> drawBand(const NextLevel& next, const krx::Screen& screen, int cols,
                                         int rows);

}  // namespace potclock
