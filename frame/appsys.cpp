#include "frame/entry.h"
#include "runtime/console/appwindow.h"
#include "runtime/lang/error.h"

namespace potclock {

// The console window: on a terminal the text-mode branch, the root console
// with a screen buffer, made the application window.
void APPSYS() {
  KRX_ROUTINE("APPSYS");
  int nType = krx::APPTYPE();
  if (nType == 2 || nType == 1) {
    auto oCrt = krx::ROOTCRT_New();
    oCrt->createBuffer = true;
    oCrt->Create();
    krx::SETAPPWINDOW(krx::Item(oCrt));
  }
}

}  // namespace potclock
