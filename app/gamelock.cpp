#include "app/gamelock.h"

#include <variant>

#include "app/gamestate.h"

namespace potclock {

GameClaim claimGame(const std::filesystem::path& file, std::string_view game, bool create) {
  GameClaim claim;
  if (file.empty()) return claim;
  auto dir = StateDir::open(stateLocationOf(file), create);
  auto* opened = std::get_if<StateDir>(&dir);
  if (opened == nullptr) return claim;
  auto lock = opened->lock(lockFileName(file.filename().string()));
  if (auto* held = std::get_if<FileLock>(&lock)) {
    claim.lock = std::move(*held);
  } else if (const auto* other = std::get_if<LockHeld>(&lock)) {
    const std::string watch =
        game.empty() ? "potclock --watch" : "potclock --watch --game " + std::string(game);
    const std::string process =
        other->pid > 0 ? " (process " + std::to_string(other->pid) + ")" : std::string();
    claim.refusal =
        "potclock: this game is running in another potclock" + process + "; " + watch + " shows it";
  }
  // A lock that cannot be taken for any other reason (a read-only disk)
  // holds up no game: the clock runs as it would without one.
  return claim;
}

}  // namespace potclock
