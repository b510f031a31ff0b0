// What the end-to-end tests share around the real program: a state
// directory of its own for each test, and runs without any terminal.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "harness/vterm_pty.h"
#include "support/temp_dir.h"

namespace e2e {

// A state directory of its own: XDG_STATE_HOME for the program.
class StateHome {
 public:
  const std::filesystem::path& dir() const { return dir_.path(); }
  std::filesystem::path file() const { return dir() / "potclock" / "game"; }
  std::string env() const { return "XDG_STATE_HOME=" + dir().string(); }
  std::string text() const;
  void write(const std::string& text) const;

 private:
  TempDir dir_{"potclock-state"};
};

struct Ran {
  int status = -1;  // exit status, or -1 when not exited normally
  std::string out, err;
};

// potclock with `args`, keeping its game in `home`.
Launch potclockIn(const StateHome& home, std::vector<std::string> args = {});

// Runs the program with no terminal at all: standard input from /dev/null,
// standard output and error into pipes.
Ran runPlain(std::vector<std::string> args, const std::vector<std::string>& env = {});

}  // namespace e2e
