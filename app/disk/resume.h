// Taking up a saved game: where it stands now, had the clock never stopped,
// for `potclock --resume` and for a display that follows the game.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
// were saved; the count is the one saved. Nothing when the game is over.
std::optional<ResumePoint> resumePoint(const GameState& state, const Game& game, double now);

// Where a display shows the game at `now`: where it stands, but while the
// clock's quit question is open its screen stands still at the figure it
// showed, and so does a display's; before a planned start, the seconds
// left are those until it.
std::optional<ResumePoint> shownPoint(const GameState& state, const Game& game, double now);

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

// Why a saved game is not taken up: there is none, or its file cannot be
// used (the file is kept as it is), or the game is over (its last level ran
// out while no clock ran it; the file is gone).
struct Refusal {
  std::string message;  // the line for standard error
  bool over = false;
};

// Where `game` stands at `now`, or, when it is over, why it is not taken up
// (its file removed).
Result<ResumePoint, Refusal> standingAt(const SavedGame& game, double now);

// The game kept in `file`, read and found fit to take up at `now` (wall
// clock, epoch seconds), or why it cannot or need not be taken up.
Result<SavedGame, Refusal> loadSavedGame(const std::filesystem::path& file, double now);

}  // namespace potclock
