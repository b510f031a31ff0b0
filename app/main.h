// The main routines: a new game (the setup dialogue, then the timer), an
// organiser's structure, and a saved game taken up.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "app/disk/resume.h"
#include "app/disk/statewriter.h"
#include "app/game/structure.h"

namespace potclock {

void MAIN();
// MAIN's work for the game named `game` (empty: the unnamed one), run in a
// routine of the caller's; not kept when `notKept` says why.
// A planned start `startsAt` (wall clock; 0: none) is counted down to.
void playNewGame(std::string_view game, const std::optional<NotKept>& notKept = {},
                 double startsAt = 0);

// The main routine of `potclock --structure`: the screen made ready, the
// structure kept beside the state file `file` (none when empty), the start
// prompt in a minutes structure (or the count down to a planned start),
// then the timer.
void playStructure(const Structure& structure, const std::filesystem::path& file,
                   const std::optional<NotKept>& notKept = {}, double startsAt = 0);

// The main routine of a resumed game: `game` on the timer's screen, from
// where it stands now, with its file kept up to date; or, for a game found
// over by now, why it is not taken up.
Result<void, Refusal> RESUME(const SavedGame& game, StateWriter::Writing writing);

}  // namespace potclock
