#include "frame/entry.h"
#include "runtime/console/workarea.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"

namespace potclock {

// Commits and closes every open work area; an area whose commit or close
// fails is rolled back and closed. No error here reaches the user.
void APPEXIT() {
  KRX_ROUTINE("APPEXIT");
  krx::ScopedErrorBlock quiet(krx::Item(krx::compileBlock("{|e| Break(e)}")));
  krx::ArrayRef areas = krx::WORKSPACELIST();
  for (const krx::Item& area : *areas) {
    krx::sequence(
        [&] {
          krx::inArea(area, [] {
            krx::DBCOMMIT();
            return krx::Item();
          });
          krx::inArea(area, [] {
            krx::DBCLOSEAREA();
            return krx::Item();
          });
        },
        [&](const krx::Item&) {
          krx::inArea(area, [] {
            krx::DBRROLLBACK();
            return krx::Item();
          });
          krx::inArea(area, [] {
            krx::DBCLOSEAREA();
            return krx::Item();
          });
        });
  }
}

}  // namespace potclock
