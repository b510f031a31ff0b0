#include "frame/options.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "runtime/startup.h"

#ifndef POTCLOCK_VERSION
#define POTCLOCK_VERSION "unknown"
#endif

namespace potclock {

namespace {

constexpr std::string_view kUsage =
    "Usage: potclock [--fill] [--resume]\n"
    "       potclock --help | --version\n";

constexpr std::string_view kHelp =
    "\n"
    "A blinds timer for poker tournaments, on the whole screen of a text terminal.\n"
    "A short dialogue takes the starting level and the minutes (or hands) per\n"
    "level, or works them out from the chips in play and the time the game is to\n"
    "finish. The timer then shows the blinds in large characters, the time left\n"
    "in the level (or the hand count) and the next level, and chimes at each\n"
    "level change.\n"
    "\n"
    "Options:\n"
    "  --fill      start with the picture filling the terminal\n"
    "  --resume    go on with the last game, where its clock would be now,\n"
    "              without the dialogue\n"
    "  -h, --help  show this help\n"
    "  --version   show the program's and the runtime's versions\n"
    "\n"
    "Keys of the timer:\n"
    "  + and -     skip to the next level, go back to the previous one\n"
    "  Space       pause the countdown; any key resumes it\n"
    "  Escape      quit, after a question\n"
    "  Alt-Enter   switch between the 80x25 picture and one filling the terminal\n"
    "  any key     in hands mode: the next hand\n"
    "\n"
    "Files:\n"
    "  $XDG_STATE_HOME/potclock/game (~/.local/state/potclock/game when\n"
    "  XDG_STATE_HOME is not set)\n"
    "              the running game, for --resume; removed when the game ends\n"
    "  KRXERROR.LOG\n"
    "              the error log, in the current directory, written only when\n"
    "              an error ends the program\n"
    "\n"
    "Exit status:\n"
    "  0    the game ended or was quit\n"
    "  1    an error ended the program, or there was no game to resume\n"
    "  2    the command line was not understood\n"
    "  231  the runtime is too old (999 as the program returns it)\n";

std::string versionText() {
  const std::uint32_t word = krx::versionWord();
  char text[128];
  std::snprintf(text, sizeof text, "potclock %s\nruntime %u.%u.%u, version word 0x%08X\n",
                POTCLOCK_VERSION, word >> 24, (word >> 16) & 0xFF, (word >> 8) & 0xFF,
                static_cast<unsigned>(word));
  return text;
}

CommandLine refuse(const std::string& why) {
  CommandLine command;
  command.exitStatus = 2;
  command.err = "potclock: " + why + "\n" + std::string(kUsage) +
                "Try 'potclock --help' for more information.\n";
  return command;
}

}  // namespace

CommandLine readCommandLine(std::span<const char* const> args) {
  CommandLine command;
  bool help = false, version = false, optionsEnd = false;
  for (const char* arg : args) {
    const std::string_view a = arg;
    if (optionsEnd || a.empty() || a[0] != '-')
      return refuse("unexpected argument '" + std::string(a) + "'");
    if (a == "--") {
      optionsEnd = true;
    } else if (a == "--fill") {
      command.options.fill = true;
    } else if (a == "--resume") {
      command.options.resume = true;
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      version = true;
    } else {
      return refuse("unknown option '" + std::string(a) + "'");
    }
  }
  if (help) {
    command.exitStatus = 0;
    command.out = std::string(kUsage) + std::string(kHelp);
  } else if (version) {
    command.exitStatus = 0;
    command.out = versionText();
  }
  return command;
}

int answerCommandLine(const CommandLine& command) {
  std::fwrite(command.out.data(), 1, command.out.size(), stdout);
  std::fwrite(command.err.data(), 1, command.err.size(), stderr);
  // A full disk or a closed pipe behind standard output is a failure too.
  if (std::fflush(stdout) != 0 && command.exitStatus == 0) {
    std::fprintf(stderr, "potclock: write error: %s\n", std::strerror(errno));
    return 1;
  }
  return command.exitStatus.value_or(0);
}

}  // namespace potclock
