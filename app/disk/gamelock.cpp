#include "app/disk/gamelock.h"

#include "app/disk/statefile.h"

namespace potclock {

GameClaim claimGame(const std::filesystem::path& file, std::string_view game, bool create) {
  GameClaim claim;
  if (file.empty()) return claim;
  auto dir = StateDir::open(stateLocationOf(file), create);
  if (!dir.ok()) return claim;
  auto lock = dir.value().lock(lockFileName(file.filename().string()));
  if (lock.ok()) {
    claim.lock = std::move(lock.value());
  } else if (lock.failure().kind == Failure::held) {
    const long holder = lock.failure().holder;
    const std::string watch =
        game.empty() ? "potclock --watch" : "potclock --watch --game " + std::string(game);
    const std::string process =
        holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string();
    claim.refusal =
        "potclock: this game is running in another potclock" + process + "; " + watch + " shows it";
    const std::string keeper =
        holder > 0 ? "potclock " + std::to_string(holder) : std::string("another potclock");
    claim.notKept =
        NotKept{keeper + " keeps this game (--game NAME keeps one of its own)", claim.refusal};
  } else {
    // Without the lock two clocks could write one game, and one's "Yes"
    // remove the other's: a game that cannot be locked is not kept, as one
    // whose directory cannot be used is not.
    const std::string why = "cannot lock the game: " + lock.failure().reason;
    claim.refusal = "potclock: " + why + " (" + file.string() + ")";
    claim.notKept = NotKept{why, claim.refusal};
  }
  return claim;
}

}  // namespace potclock
