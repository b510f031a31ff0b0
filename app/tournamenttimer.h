// The timer of an organiser's own structure: its levels with their own
// lengths and antes, and its breaks, on the built-in timer's screen and keys.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "app/timer.h"
#include "app/tournament.h"

namespace potclock {

class GameJournal;

// Where a resumed structure game picks up: its entry (from 0) and the point
// within it.
struct TournamentResume {
  std::size_t entry = 0;
  TimerResume within;
};

// Runs the entries from the first (or from `from`) on, each ending by its
// time or its last hand, or by + and -. After the last entry the last starts
// again, until "Yes" to the quit question ends the program (_QUIT).
void runTournament(const Tournament& t, GameJournal& journal,
                   const TournamentResume* from = nullptr);

// The main routine of `potclock --structure`: the screen made ready, the
// structure kept beside the state file `file` (none when empty), the start
// prompt in a minutes structure, then the timer.
void playTournament(const Tournament& t, const std::filesystem::path& file);

// An entry's screen from row 3 down (and the structure's name at the top):
// caption or break note, large blinds or BREAK, heading, next level, hint
// row. The large count below the heading is the caller's.
void drawTournamentEntry(const Tournament& t, std::size_t index, Hints hints);

// The hand count as the large display shows it: the built-in timer's text
// up to 99 hands a level, and the whole count beyond, which fits the screen.
std::string tournamentHandText(int nHand, int hands);

}  // namespace potclock
