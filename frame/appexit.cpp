#include "frame/entry.h"
#include "runtime/console/kept/workarea.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"

namespace potclock {

namespace {

// Runs each step with `area` current, one after the other.
void inArea(const krx::Item& area, std::initializer_list<void (*)()> steps) {
  for (void (*step)() : steps) {
    krx::inArea(area, [step] {
      step();
      return krx::Item();
    });
  }
}

}  // namespace

// Commits and closes every open work area; an area whose commit or close
// fails is rolled back and closed. No error here reaches the user.
void APPEXIT() {
  KRX_ROUTINE("APPEXIT");
  krx::ScopedErrorBlock quiet(krx::Item(krx::compileBlock("{|e| Break(e)}")));
  krx::ArrayRef areas = krx::WORKSPACELIST();
  for (const krx::Item& area : *areas) {
    krx::sequence(
        [&] {
          inArea(area, {krx::DBCOMMIT, krx::DBCLOSEAREA});
        },
        [&](const krx::Item&) {
          inArea(area, {krx::DBRROLLBACK, krx::DBCLOSEAREA});
        });
  }
}

}  // namespace potclock
