// The tournament's numbers on the timer's screen, for a game whose structure
// has a [tournament] table: a row of players, average stack, prize pool and
// places paid above the caption, and during a break the prizes beside the
// large BREAK, where the players have time to read them. The clock and every
// display draw them with drawEntry, so all of them read alike.
#pragma once

#include <optional>

#include "app/game/game.h"
#include "app/game/numbers.h"

namespace potclock {

// Row 3 and, on a break, the prizes: the game's numbers with `count` while
// entry `index` runs. Nothing for a game without a [tournament] table, or
// without a count.
void showNumbers(const Game& game, int index, const std::optional<Count>& count);

// Whether late registration ends when entry `index` does, and the screens
// warn of it.
bool registrationEnds(const Game& game, int index);
// Row 2 while that entry runs: "Late registration ends in 12:34" with the
// time left in it (`remain`, minutes), or "... after this level" (hands); a
// blank row after it. Nothing for a game that does not warn of it.
void showRegistration(const Game& game, int index, std::optional<long> remain);
// The two notes after the chime as late registration ends.
void playRegistrationEnd();

}  // namespace potclock
