// A program that writes a great deal to the terminal, for the tests of a
// terminal that stops reading. Rows 1 to 23 are filled with coloured letters
// that move on with each frame, some rows every frame, some every second,
// third or fourth, so that a frame changes only part of the screen.
//
// Keys: a animates (a frame every 10 ms); s stops and shows "STOPPED n" on
// the bottom row, n being the frame on the screen; q ends normally.
#include <string>

#include "runtime/backends/startup.h"
#include "runtime/backends/terminal.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"

namespace {

using namespace krx;

// What frame `frame` shows in row `row` (1 to 23): letters and colour. The
// tests hold the same rule.
std::string rowLetters(int row, int frame) {
  const int step = frame / (1 + row % 4);
  std::string letters;
  for (int col = 0; col < Screen::kCols; ++col) {
    letters += static_cast<char>('A' + (row + col + step) % 26);
  }
  return letters;
}

Attr rowColour(int row, int frame) {
  return makeAttr(1 + (row + frame / (1 + row % 4)) % 7, 0);
}

void draw(int frame) {
  Screen& screen = RT().screen;
  screen.write(0, 0, "FRAME " + std::to_string(frame) + "          ", makeAttr(7, 0));
  for (int row = 1; row <= 23; ++row) {
    screen.write(row, 0, rowLetters(row, frame), rowColour(row, frame));
  }
}

void floodMain() {
  SETCURSOR(0);
  int frame = 0;
  draw(frame);
  RT().screen.write(24, 0, "READY", makeAttr(7, 0));
  bool animating = false;
  for (;;) {
    const int key = INKEY(animating ? 0.01 : 0);
    if (key == 'q') return;
    if (key == 'a') animating = true;
    if (key == 's') {
      animating = false;
      RT().screen.write(24, 0, "STOPPED " + std::to_string(frame) + "     ", makeAttr(7, 0));
    }
    if (animating) draw(++frame);
  }
}

}  // namespace

int main() {
  StartupRecord record;
  record.main = floodMain;
  const int status = krxStart(record);
  TerminalBackend::reraisePendingSignal();
  return status;
}
