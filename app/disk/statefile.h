// The running game's state as it is kept on disk, so that a closed window or
// a crash does not lose the game: one small text file, replaced whole at
// every change, read back by `potclock --resume`.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "app/disk/statedir.h"
#include "app/game/mode.h"
#include "app/game/numbers.h"

namespace potclock {

struct GameState {
  int nLevel = 1;
  int nPerLevel = 1;  // minutes or hands per level, as `mode` says
  Mode mode = Mode::minutes;
  // Minutes mode: running, the level ends at `endsAt` (wall clock, seconds
  // since the epoch); paused, `secondsLeft` stay frozen.
  bool paused = false;
  double endsAt = 0;
  long secondsLeft = 0;
  // Minutes mode, running: the quit question is open, and the clock's screen
  // stands still at `secondsLeft` while the level's time runs on to `endsAt`.
  bool asking = false;
  // Hands mode: the hands already counted in the level.
  int handsCounted = 0;
  // A game of an organiser's own structure (kept beside the state file, see
  // structureCopyName): nLevel is its entry, from 1, and nPerLevel and mode
  // are that entry's length and kind.
  bool structure = false;
  // Minutes mode: the seconds the director has added to the level's length
  // (taken off when below 0), so that a time left longer than the level is
  // not taken for a wall clock set back.
  long corrected = 0;
  // A planned start: the game begins then (wall clock, epoch seconds), and
  // until then the screens count down to it; 0 when it began.
  double startsAt = 0;
  // A structure game whose structure has a [tournament] table: its count.
  std::optional<Count> count = std::nullopt;

  bool operator==(const GameState&) const = default;
};

// The most a level can have: the dialogue's range of hands, and the minutes
// that the computed schedule can share out until a finish a day away. A file
// with more was not written by this program.
inline constexpr int kMostHandsPerLevel = 40;
inline constexpr int kMostMinutesPerLevel = 24 * 60;

// The game's file in the state directory, when no name is given.
inline constexpr std::string_view kGameFileName = "game";

// A game of its own name (--game): a main event and a satellite in one room.
// Short and plain, so that it makes a file name and reads well in a message.
inline constexpr std::size_t kMaxGameName = 32;
bool validGameName(std::string_view name);
// The file of the game named `game` ("game-NAME"; the unnamed game's is
// "game"). A name cannot hold a dot, so no game's file is another's copy of
// its structure or its lock.
std::string gameFileName(std::string_view game);

// The format's version; a file of a later one is refused, not guessed at.
// A game with a count, a correction of its time or a planned start is
// written as version 2, which is version 1 with those lines: a reader of
// version 1 would take them for damage, and now says that a later version
// wrote the file; any other game is written as version 1, as before.
inline constexpr int kGameStateVersion = 2;

std::string formatGameState(const GameState& state);

// The game a file's text holds; else `damaged`, or `newer` for the text of
// a later version.
Result<GameState> parseGameState(std::string_view text);

// $XDG_STATE_HOME/potclock/game, or ~/.local/state/potclock/game (the file of
// `game`, see gameFileName); empty when the environment names neither a
// state nor a home directory.
std::filesystem::path gameStatePath(std::string_view game = {});

// The state directory of a game file named by its path: the environment's
// (every level below the directory it names is the program's own), or else
// one whose last directory is the program's own; opened without following a
// link.
StateLocation stateLocationOf(const std::filesystem::path& file);

// The game of file `name` in its state directory: replaced whole (see
// StateDir::write), read, removed.
Result<void> saveGameState(const StateDir& dir, std::string_view name, const GameState& state,
                           CommitGate* gate = nullptr);
// Whether a game could be written there now, without the wait for the disk.
Result<void> probeGameState(const StateDir& dir, std::string_view name);
// The same for a file named by its path: the last directory of the path is
// the state directory, made when missing and opened as StateDir::open does.
Result<void> saveGameState(const std::filesystem::path& file, const GameState& state);

// A failure to load is one of the outcomes a caller tells apart: `missing`
// (no file), `refused` (a file that cannot be read, with the system's
// reason), `damaged` (a file too long counts as damaged) or `newer`.
Result<GameState> loadGameState(const StateDir& dir, std::string_view name);
// Reads a state file.
Result<GameState> loadGameState(const std::filesystem::path& file);

// Where a structure game keeps its copy of the structure: beside the game's
// file `name`, so a structure file edited or moved meanwhile changes nothing.
std::string structureCopyName(std::string_view name);
// The file whose lock a clock holds while it runs the game of file `name`.
std::string lockFileName(std::string_view name);

// The one line that tells the user why a game cannot be resumed.
std::string loadFailureMessage(const std::filesystem::path& file, const Failure& failure);

// Removes the file and the structure kept beside it (the game is over); a
// missing file is no failure.
void removeGameState(const StateDir& dir, std::string_view name);
void removeGameState(const std::filesystem::path& file);

}  // namespace potclock
