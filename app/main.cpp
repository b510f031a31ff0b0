#include "app/main.h"

#include "app/gamejournal.h"
#include "app/gamestate.h"

#include "app/setup.h"
#include "app/timer.h"
#include "runtime/lang/error.h"

namespace potclock {

void MAIN() {
  KRX_ROUTINE("MAIN");
  playNewGame({});
}

void playNewGame(std::string_view game) {
  // Opened before the dialogue, so that a game that cannot be kept is said
  // on its first screen, before the game runs.
  GameJournal journal(stateLocation(), GameJournal::Writing::inBackground, gameFileName(game));
  Handover h = runSetup(journal.notice());
  journal.begin(h.nPerLevel, h.mode);
  runTimer(h.nLevel, h.nPerLevel, h.mode, journal);
}

}  // namespace potclock
