#include "app/main.h"

#include "app/setup.h"
#include "app/timer.h"
#include "runtime/error.h"

namespace potclock {

void MAIN() {
  KRX_ROUTINE("MAIN");
  Handover h = runSetup();
  runTimer(h.nLevel, h.nMinutes, h.cMode);
}

}  // namespace potclock
