// Taking up a saved game: where it stands now, had the clock never stopped,
// for `potclock --resume` and for a display that follows the game.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "app/disk/statedir.h"
#include "app/disk/statefile.h"
#include "app/game/game.h"

namespace potclock {

// The game a saved state is a point of: the built-in levels at its length
// and mode, or the structure `copy` kept beside it. Nothing when the state
// is of a structure game whose copy is missing, damaged or of another
// structure.
std::optional<Game> gameOfState(const GameState& state, std::optional<Structure> copy);

// Where `state` stands in `game` at `now` (wall clock, epoch seconds): the
// time passed since it was saved counts, and entries that ran out
// meanwhile are passed; a paused game and a hands game stand where they
// were saved. Nothing when the game is over.
std::optional<ResumePoint> resumePoint(const GameState& state, const Game& game, double now);

// The structure a structure game of file `name` was started with, kept in
// `dir`; nothing when the copy is missing or damaged.
std::optional<Structure> loadStructureCopy(const StateDir& dir, std::string_view name);

// A saved game read to be taken up: read once, before the terminal is taken,
// and handed as it was read to RESUME.
struct SavedGame {
  std::filesystem::path file;
  GameState state;
  Game game;
};

// Why a saved game is not taken up.
struct Refusal {
  std::string message;  // the line for standard error
  int status;           // the exit status
  bool over = false;    // the game is over, and its file goes
};

// Where `game` stands at `now`, or why it cannot be taken up.
std::variant<ResumePoint, Refusal> standingAt(const SavedGame& game, double now);

// Tells `refusal` on standard error (the runtime's while one runs, which
// holds it until the terminal is back) and removes the file of a game that
// is over. Returns the exit status.
int refuse(const std::filesystem::path& file, const Refusal& refusal);

// The game kept in `file`, read and found fit to take up at `now` (wall
// clock, epoch seconds); or, said on standard error, why it cannot or need
// not be taken up, and the exit status for that (1: no game, or a file that
// cannot be used, which is kept as it is; 0: the game is over, and its file
// goes).
std::variant<SavedGame, int> loadSavedGame(const std::filesystem::path& file, double now);

}  // namespace potclock
