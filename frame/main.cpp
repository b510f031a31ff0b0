#include <malloc.h>

#include <span>

#include "frame/entry.h"
#include "frame/options.h"

// A shell sees the status modulo 256: 999 (runtime too old) arrives as 231.
int main(int argc, char** argv) {
  // The clock writes its game on a second thread, which would otherwise get
  // a malloc arena of its own: pages of private memory, for a few short
  // strings a minute that the first arena serves as well.
  ::mallopt(M_ARENA_MAX, 1);
  const potclock::CommandLine command =
      potclock::readCommandLine(std::span<const char* const>(argv + 1, argc > 0 ? argc - 1 : 0));
  if (command.exitStatus) return potclock::answerCommandLine(command);
  return potclock::processEntry({}, command.options);
}
