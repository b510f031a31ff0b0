// What a director tells a running clock from another terminal (`potclock
// tell ...`): the changes to the players, stacks and prize pool, and the
// corrections to the time. Read from the words of the command line, and
// read again from the same words by the clock, so the two never disagree on
// what a command means.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/result.h"

namespace potclock {

struct Command {
  enum class Kind {
    bust,     // a player is out
    entry,    // a player enters (or re-enters)
    rebuy,    // a player buys chips again
    addon,    // a player takes the add-on
    players,  // `value` players are left
    entries,  // `value` entries in all
    timeBy,   // the time left changes by `value` seconds
    timeTo,   // the time left is `value` seconds
    level,    // the game jumps to level `value`
    breakAt,  // the game jumps to break `value`
    pause,
    resume,
  };
  Kind kind = Kind::bust;
  long value = 0;

  bool operator==(const Command&) const = default;
};

// The most seconds a correction may set or add: a day, as a level's length.
inline constexpr long kMostCorrection = 24L * 60 * 60;

// The command the words say, or a sentence on why they say none.
Result<Command, std::string> parseCommand(std::span<const std::string> words);

// The words split at blanks, as the clock receives them.
std::vector<std::string> commandWords(std::string_view line);

// The command words the program knows, for the usage text.
inline constexpr std::string_view kCommandSummary =
    "bust | entry | rebuy | addon | players N | entries N |\n"
    "       time +1m | time -30s | time 12:30 | level N | break N | pause | resume";

}  // namespace potclock
