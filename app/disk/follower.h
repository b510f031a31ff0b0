// The game a clock on this machine runs, followed through the state
// directory it keeps: told by inotify when the game's files change, and
// looking for the directory itself while there is none. The terminal display
// and the browser display both follow a game this way; neither writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/disk/statedir.h"
#include "app/disk/statefile.h"
#include "app/game/game.h"
#include "runtime/console/fdio.h"

namespace potclock {

// While the state directory is missing, how often it is looked for: a clock
// that starts makes it, and its first screen must reach a display at once.
// A watch on the nearest parent would miss a directory made several levels
// at a time; a look this often costs one failed open.
inline constexpr double kLookForDirectoryEvery = 0.05;

class Follower {
 public:
  // `file` is the game's file name in the directory (gameFileName).
  Follower(std::optional<StateLocation> where, std::string file);

  // The inotify descriptor to wait on; invalid when none is left.
  int descriptor() const { return inotify_.get(); }
  // Whether it is told of changes, rather than having to look.
  bool told() const { return inotify_.valid(); }
  // Whether the state directory is open: while it is not, look() must be
  // called every kLookForDirectoryEvery, as no event says it has come.
  bool present() const { return dir_.has_value(); }

  // Whether the game's files may have changed since the last look.
  bool look();

  Result<GameState> state() const;
  // The game the state is a point of; nothing when it cannot be made.
  std::optional<Game> game(const GameState& state) const;
  std::filesystem::path file() const;

 private:
  bool drain();

  std::optional<StateLocation> where_;
  std::string name_;
  std::string structureName_;
  krx::UniqueFd inotify_;
  std::optional<StateDir> dir_;
  int watch_ = -1;
  std::optional<Failure> refused_;  // why the directory is not used
};

}  // namespace potclock
