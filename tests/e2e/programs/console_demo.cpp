// A small program on the terminal backend for the end-to-end tests: block
// characters and coloured text, then a loop that shows each key's code.
//
// Keys: q ends normally; e ends with _QUIT and exit code 3; c crashes
// (SIGSEGV); t plays two tones; m switches mouse reports on (clicks show
// their cell); s writes a line to standard error while the screen is up;
// b keeps busy for ten seconds without waiting, and shows "BUSY" only once
// it has left its last wait; f fails with an exception of the C++ library;
// w waits a minute for a key or a descriptor that is closed meanwhile.
//
// With the argument --filled the screen starts filled out to the terminal.
#include <signal.h>
#include <unistd.h>

#include <new>
#include <string>
#include <string_view>

#include "runtime/backends/startup.h"
#include "runtime/backends/terminal.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/lang/error.h"

namespace {

using namespace krx;

void showKey(int row, const std::string& label, int value) {
  DEVPOS(row, 0);
  DEVOUT(label + std::to_string(value) + "          ");
}

void demoMain() {
  SETCOLOR("W+/B");
  SCROLL();
  SETCURSOR(0);
  DEVPOS(0, 0);
  DEVOUT("CONSOLE DEMO");
  SETCOLOR("GR+/R");
  DEVPOS(2, 0);
  DEVOUT("\xB1\xDB\xDC\xDF\xFE");  // shade, full, lower half, upper half, square
  SETCOLOR("G/N");
  DEVPOS(3, 0);
  DEVOUT("GREEN");
  SETCOLOR("W+/B");
  DEVPOS(4, 0);
  DEVOUT("READY");

  std::string history;
  for (;;) {
    const int key = INKEY(0);
    showKey(5, "KEY: ", key);
    history += std::to_string(key) + " ";
    DEVPOS(6, 0);
    DEVOUT("KEYS: " + history);
    switch (key) {
      case 'q':
        return;
      case 'e':
        ERRORLEVEL(3);
        _QUIT();
      case 'c':
        ::raise(SIGSEGV);
        break;
      case 't':
        TONE(440, 2);
        TONE(880, 2);
        DEVPOS(7, 0);
        DEVOUT("TONES DONE");
        break;
      case 'm':
        SETMOUSE(true);
        DEVPOS(8, 0);
        DEVOUT("MOUSE ON");
        break;
      case 'b': {
        DEVPOS(10, 0);
        DEVOUT("BUSY");
        // Shown straight from the screen, not from a wait: a signal sent on
        // seeing it must find the program busy, and a wait would take it.
        RT().backend->present(RT().screen);
        const double until = RT().backend->monotonic() + 10;
        while (RT().backend->monotonic() < until) {
        }
        break;
      }
      case 'f':
        throw std::bad_alloc();
      case 'w': {
        int ends[2];
        if (::pipe(ends) != 0) break;
        const WakeOnInput wake(ends[0]);
        ::close(ends[0]);
        ::close(ends[1]);
        INKEY(60);
        break;
      }
      case 's':
        OUTERR("a message on standard error\n");
        DEVPOS(9, 0);
        DEVOUT("STDERR WRITTEN");
        break;
      case K_LBUTTONDOWN: {
        const Backend::KeyEvent click = RT().backend->lastKeyEvent(K_LBUTTONDOWN);
        DEVPOS(8, 0);
        DEVOUT("CLICK " + std::to_string(click.row) + " " + std::to_string(click.col) + "   ");
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartupRecord record;
  record.main = demoMain;
  record.terminal.filled = argc > 1 && std::string_view(argv[1]) == "--filled";
  const int status = krxStart(record);
  TerminalBackend::reraisePendingSignal();
  return status;
}
