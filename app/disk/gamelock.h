// One clock per game: while a clock runs a game it holds the game's lock, so
// that a second clock started on it by mistake neither overwrites its file
// nor removes it with its own "Yes" to the quit question.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/disk/statedir.h"
#include "app/disk/statewriter.h"

namespace potclock {

struct GameClaim {
  // Held until the claim goes. None when there is no state directory to lock
  // in (nor then a game to keep or resume, which the clock tells itself).
  std::optional<FileLock> lock;
  // Set when another clock runs the game, or the lock cannot be taken: the
  // line that says so, which refuses --resume; a new game runs all the
  // same, and is not kept.
  std::string refusal;
  std::optional<NotKept> notKept;
};

// Claims the game of file `file` (`game` its name, empty for the unnamed
// one), making the state directory when `create`.
GameClaim claimGame(const std::filesystem::path& file, std::string_view game, bool create);

}  // namespace potclock
