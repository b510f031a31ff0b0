// The command line: the options that change how a run starts, and the
// answers (help, version, usage) that end it before the terminal is taken.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace potclock {

struct Options {
  // The picture fills the terminal from the start instead of standing at
  // 80x25 in its middle (Alt-Enter switches between the two).
  bool fill = false;
  // The saved game goes on instead of a new one being set up.
  bool resume = false;
  // The game this structure file describes runs instead of one set up in
  // the dialogue; empty: the dialogue.
  std::string structureFile;
  // The game's own name (a valid one, see validGameName); empty: the game
  // there is without a name.
  std::string game;
  // A display that follows the game another potclock runs, instead of a
  // clock.
  bool watch = false;
  // No chime and no tones.
  bool quiet = false;
  // A planned start (--start HH:MM), in minutes after midnight: the clock
  // counts down to it and the first level begins then.
  std::optional<int> startMinute;
  // A browser display of the game on this address and port instead of a
  // clock: `serveHost` empty is the loopback address only.
  bool serve = false;
  std::string serveHost;
  int servePort = 0;
};

struct CommandLine {
  Options options;
  // Set when the command line is answered instead of run: the status to end
  // with, and the texts for standard output and standard error.
  std::optional<int> exitStatus;
  std::string out;
  std::string err;
};

// `args` without the program name. `--check` reads its file here, so that a
// structure is checked without a terminal.
CommandLine readCommandLine(std::span<const char* const> args);

// Writes the answer's texts and gives its exit status.
int answerCommandLine(const CommandLine& command);

}  // namespace potclock
