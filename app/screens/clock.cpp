#include "app/screens/clock.h"

#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"
#include "runtime/lang/item.h"

namespace potclock {

namespace {
// One for the whole program, kept by the runtime.
struct Clock {
  krx::Item nLastSecs;    // the last reading; nil until the first reset
  double nDayOffset = 0;  // 86400 for each midnight passed since the reset
};
}  // namespace

double MYSECONDS(bool lReset) {
  KRX_ROUTINE("MYSECONDS");
  auto& [nLastSecs, nDayOffset] = krx::RT().programState.get<Clock>();
  if (lReset) {
    nLastSecs = 0.0;
    nDayOffset = 0;
  }
  // One reading only: a second, fresher one could fall on the far side of
  // midnight and hide the day change from every later reading.
  double now = krx::SECONDS();
  if (krx::greater(nLastSecs, krx::Item(now + nDayOffset))) nDayOffset += 86400.0;
  nLastSecs = now + nDayOffset;
  return nLastSecs.numOr(0);
}

}  // namespace potclock
