#include "app/main.h"

#include "app/gamejournal.h"
#include "app/gamestate.h"

#include "app/setup.h"
#include "app/timer.h"
#include "runtime/error.h"

namespace potclock {

void MAIN() {
  KRX_ROUTINE("MAIN");
  Handover h = runSetup();
  GameJournal journal(gameStatePath(), h.nMinutes, h.cMode == "H");
  runTimer(h.nLevel, h.nMinutes, h.cMode, journal);
}

}  // namespace potclock
