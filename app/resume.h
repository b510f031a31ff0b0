// `potclock --resume`: the saved game continues where the clock would be now
// had it never stopped.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <variant>

#include "app/gamejournal.h"
#include "app/gamestate.h"
#include "app/timer.h"
#include "app/tournamenttimer.h"

namespace potclock {

struct ResumePoint {
  int nLevel = 1;
  TimerResume within;
};

// Where the game stands at `now` (wall clock, epoch seconds): the time
// passed since it was saved counts, and levels that ran out meanwhile are
// passed; a paused game and a hands game stand where they were saved.
// Nothing when its last level has run out.
std::optional<ResumePoint> resumePoint(const GameState& state, double now);

// The same for a game of an organiser's own structure: entries that ran out
// meanwhile are passed by their own lengths, up to a level that counts hands
// (which waits for its first hand) or the last entry, which starts again
// and again. Nothing when the state does not fit the structure.
std::optional<TournamentResume> tournamentResumePoint(const GameState& state, const Tournament& t,
                                                      double now);

// The structure a structure game of file `name` was started with, kept in
// `dir`; nothing when the copy is missing or damaged.
std::optional<Tournament> loadStructureCopy(const StateDir& dir, std::string_view name);

// A saved game read to be taken up: read once, before the terminal is taken,
// and handed as it was read to RESUME.
struct SavedGame {
  std::filesystem::path file;
  GameState state;
  std::optional<Tournament> structure;  // a structure game's, as it started
};

// The game kept in `file`, read and found fit to take up at `now` (wall
// clock, epoch seconds); or, said on standard error, why it cannot or need
// not be taken up, and the exit status for that (1: no game, or a file that
// cannot be used, which is kept as it is; 0: the game is over, and its file
// goes). Standard error is the runtime's while one runs.
std::variant<SavedGame, int> loadSavedGame(const std::filesystem::path& file, double now);

// The main routine of a resumed game: `game` on the timer's screen, from
// where it stands now, with its file kept up to date. A game found over by
// now is told as loadSavedGame tells it.
void RESUME(const SavedGame& game, GameJournal::Writing writing);

}  // namespace potclock
