// What a director's command does to a running game: the time left moved or
// set, a jump to another level or break, a pause or its end. One place for
// every game, so that the clock of the built-in levels and of a structure
// answer alike, and so that it can be tried without a screen.
#pragma once

#include <optional>
#include <string>

#include "app/game/command.h"
#include "app/game/game.h"
#include "app/game/numbers.h"
#include "app/game/result.h"

namespace potclock {

// Where a running game stands.
struct Standing {
  int index = 0;
  double left = 0;  // minutes: seconds left, running or paused
  bool paused = false;
  long corrected = 0;  // minutes: seconds the director added to the entry
  int handsCounted = 0;
  bool started = true;  // false: a planned start is still to come
  // A game with a [tournament] table: who has entered and who is still in.
  std::optional<Count> count = std::nullopt;
};

struct Change {
  Standing standing;
  std::string answer;   // what changed, in a line for the teller
  bool jumped = false;  // another entry (or the same afresh) begins now
};

// The change `command` makes to the game standing at `now`, or the line
// that says why it makes none.
Result<Change, std::string> applyCommand(const Game& game, const Standing& now,
                                         const Command& command);

// Seconds as the countdown shows them, rounded to the second: "12:05".
std::string clockText(double seconds);

}  // namespace potclock
