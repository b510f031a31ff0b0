// The running game's state as it is kept on disk, so that a closed window or
// a crash does not lose the game: one small text file, replaced whole at
// every change, read back by `potclock --resume`.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace potclock {

struct GameState {
  int nLevel = 1;
  int nMinutes = 1;  // minutes or hands per level
  bool hands = false;
  // Minutes mode: running, the level ends at `endsAt` (wall clock, seconds
  // since the epoch); paused, `secondsLeft` stay frozen.
  bool paused = false;
  double endsAt = 0;
  long secondsLeft = 0;
  // Hands mode: the hands already counted in the level.
  int handsCounted = 0;
  // A game of an organiser's own structure (kept beside the state file, see
  // structureCopyPath): nLevel is its entry, from 1, and nMinutes and hands
  // are that entry's length and kind.
  bool structure = false;

  bool operator==(const GameState&) const = default;
};

// The format's version; a file of a later one is refused, not guessed at.
inline constexpr int kGameStateVersion = 1;

std::string formatGameState(const GameState& state);

// Why a file's text is not a game state.
enum class StateFault { damaged, newer };
std::variant<GameState, StateFault> parseGameState(std::string_view text);

// $XDG_STATE_HOME/potclock/game, or ~/.local/state/potclock/game; empty
// when the environment names neither a state nor a home directory.
std::filesystem::path gameStatePath();

// Why a state file could not be read. The outcomes a caller tells apart: no file, a file
// that cannot be read (with the system's reason), a damaged or newer one.
struct LoadFailure {
  enum Kind { missing, unreadable, damaged, newer } kind;
  std::string reason;  // for unreadable
};
// Where a structure game keeps its copy of the structure: beside the state
// file, so a structure file edited or moved meanwhile changes nothing.
std::filesystem::path structureCopyPath(const std::filesystem::path& file);

// Replaces the file atomically: a new file beside it, flushed, then renamed
// over it; the directory is made (mode 0700) when missing. Never writes
// through a symbolic link. Returns an empty text or why it failed.
std::string saveGameState(const std::filesystem::path& file, const GameState& state);
// The same for any text kept in the state directory.
std::string saveStateText(const std::filesystem::path& file, std::string_view text);
// A file of the state directory, read whole (at most `limit` bytes, or it is
// damaged), without following a link or waiting on a FIFO.
std::variant<std::string, LoadFailure> loadStateText(const std::filesystem::path& file,
                                                     std::size_t limit);

// Reads a state file.
std::variant<GameState, LoadFailure> loadGameState(const std::filesystem::path& file);

// The one line that tells the user why a game cannot be resumed.
std::string loadFailureMessage(const std::filesystem::path& file, const LoadFailure& failure);

// Removes the file (the game is over); a missing file is no failure.
void removeGameState(const std::filesystem::path& file);

}  // namespace potclock
