#include "frame/publics.h"

namespace potclock {

void registerPublicRoutines(krx::Registry& registry) {
  (void)registry;  // rows are added as the routines are built
}

}  // namespace potclock
