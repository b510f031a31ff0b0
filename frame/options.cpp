#include "frame/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <utility>

#include "app/disk/channel.h"
#include "app/disk/statefile.h"
#include "app/game/command.h"
#include "app/game/levels.h"
#include "app/game/schedule.h"
#include "app/game/structurefile.h"
#include "runtime/backends/startup.h"

#ifndef POTCLOCK_VERSION
#define POTCLOCK_VERSION "unknown"
#endif

namespace potclock {

namespace {

constexpr std::string_view kUsage =
    "Usage: potclock [--fill] [--start HH:MM] [--resume | --structure FILE]\n"
    "       potclock --check FILE | --print-structure A|B|C\n"
    "       potclock --watch [--fill]\n"
    "       potclock tell COMMAND\n"
    "       potclock --serve [ADDRESS:]PORT\n"
    "       potclock --help | --version\n"
    "A clock or a display also takes --game NAME and --quiet; tell takes --game NAME.\n";

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
    "  --structure FILE\n"
    "              run the tournament that FILE describes, without the dialogue\n"
    "  --game NAME run, resume or watch the game of that name (up to 32 letters,\n"
    "              digits, '-' and '_'), beside the game without a name\n"
    "  --watch     a display of the game a clock runs on this machine: it follows\n"
    "              the clock, chimes with it, and waits while no game runs;\n"
    "              Escape or q leaves it\n"
    "  --serve [ADDRESS:]PORT\n"
    "              a display of the running game for browsers on phones and TVs,\n"
    "              at http://ADDRESS:PORT/; without ADDRESS only this machine\n"
    "              (127.0.0.1) reaches it, 0.0.0.0 lets the room in; PORT 0\n"
    "              takes a free one; Ctrl-C ends it\n"
    "  --quiet     no chime and no tones\n"
    "  --start HH:MM\n"
    "              count down to that time (today's, or tomorrow's once it has\n"
    "              passed), then begin the first level by itself; with --check,\n"
    "              the schedule from then\n"
    "  --check FILE\n"
    "              print FILE's schedule: each level's blinds, ante and length,\n"
    "              and the time it would start if the game started now\n"
    "  --print-structure A|B|C\n"
    "              print a built-in structure as a file to start one's own from\n"
    "  tell COMMAND\n"
    "              act on the clock that runs the game, from any terminal:\n"
    "              bust | entry | rebuy | addon | players N | entries N |\n"
    "              time +1m | time -30s | time 12:30 (the time left) | level N |\n"
    "              break N | pause | resume; prints what changed\n"
    "  -h, --help  show this help\n"
    "  --version   show the program's and the runtime's versions\n"
    "\n"
    "Keys of the timer:\n"
    "  + and -     skip to the next level, go back to the previous one\n"
    "  Space       pause the countdown; any key resumes it\n"
    "  Escape      quit, after a question\n"
    "  Alt-Enter   switch between the 80x25 picture and one filling the terminal\n"
    "  any key     in hands mode: the next hand\n"
    "  B E R A [ ] with a [tournament] table, in minutes mode: bust, entry, rebuy,\n"
    "              add-on, a minute less, a minute more\n"
    "\n"
    "Structure files (TOML):\n"
    "  name = \"...\" and minutes = N (or hands = N) at the top; then one\n"
    "  [[level]] per level with blinds = [small, big], ante = N and minutes = N\n"
    "  (or hands = N) of its own, or per break with break = MINUTES and\n"
    "  note = \"...\". Optional: start = \"19:30\"; a [tournament] table (chips,\n"
    "  buy-in, rebuy, add-on, guarantee, payouts, late-registration, entries) for\n"
    "  the players, average stack and prize pool; a [warnings] table (minute,\n"
    "  break, late-registration = true or false). Problems are shown as\n"
    "  FILE:LINE:COLUMN: what is wrong.\n"
    "\n"
    "Files:\n"
    "  $XDG_STATE_HOME/potclock/game (~/.local/state/potclock/game when\n"
    "  XDG_STATE_HOME is not set)\n"
    "              the running game, for --resume and --watch; removed when the\n"
    "              game ends (game-NAME for --game NAME)\n"
    "  KRXERROR.LOG\n"
    "              the error log, in the current directory, written only when\n"
    "              an error ends the program\n"
    "\n"
    "Exit status:\n"
    "  0    the game ended or was quit, a served display was ended, or the\n"
    "       clock did what tell told it\n"
    "  1    an error ended the program, there was no game to resume, a\n"
    "       structure file could not be used, another potclock runs the game\n"
    "       to resume, or the clock did not do what tell told it (or no clock\n"
    "       runs the game)\n"
    "  2    the command line was not understood, or --serve cannot have its\n"
    "       address\n"
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

// The built-in structure as a file, headed by its name in the level list.
CommandLine printStructure(char letter) {
  CommandLine command;
  command.exitStatus = 0;
  for (const BuiltInStructure& s : kStructures) {
    if (s.letter != letter) continue;
    std::string heading(s.heading.substr(0, s.heading.find("...")));
    command.out =
        formatStructure(builtInStructure(letter),
                        "potclock's built-in structure " + heading +
                            ", 20 minutes a level.\n"
                            "Change it as you like and run it with: potclock --structure FILE");
  }
  return command;
}

// What an option that asks for a run of its own kind does, in the words of
// the message that refuses two of them.
std::string whatItDoes(std::string_view option) {
  if (option == "--resume") return "--resume goes on with the last game";
  if (option == "--watch") return "--watch shows the running game";
  if (option == "--serve") return "--serve shows the running game to browsers";
  if (option == "--structure") return "--structure starts a game of a file";
  if (option == "--check") return "--check only checks a file";
  if (option == "tell") return "tell only tells a running clock";
  return "--print-structure only prints a built-in structure";
}

// `potclock tell ...`: the command given to the clock that runs the game,
// and its answer; refused before anything is sent when it is not one.
CommandLine tell(const std::vector<std::string>& words, const std::string& game) {
  CommandLine command;
  if (const auto parsed = parseCommand(words); !parsed.ok())
    return refuse("tell: " + parsed.failure() + "\n  tell " + std::string(kCommandSummary));
  const auto where = stateLocation();
  const auto answer =
      where
          ? tellClock(*where, gameFileName(game), words)
          : Result<Answer, std::string>(std::string("no potclock runs this game on this machine"));
  command.exitStatus = 1;
  const std::string named = game.empty() ? "" : " (game " + game + ")";
  if (!answer.ok()) {
    command.err = "potclock: " + answer.failure() + named + "\n";
  } else if (!answer.value().ok) {
    command.err = "potclock: " + answer.value().text + named + "\n";
  } else {
    command.exitStatus = 0;
    command.out = answer.value().text + "\n";
  }
  return command;
}

// "PORT", "ADDRESS:PORT" or "[IPv6]:PORT": the address as written (empty:
// loopback only) and the port; nothing for a text that is neither.
std::optional<std::pair<std::string, int>> servingAddress(std::string_view text) {
  std::string_view host, port = text;
  if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.starts_with('[') && host.ends_with(']') && host.size() > 2)
      host = host.substr(1, host.size() - 2);
    else if (host.empty() || host.find_first_of(":[]") != std::string_view::npos)
      return std::nullopt;
  }
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  const int number = std::stoi(std::string(port));
  if (number > 65535) return std::nullopt;
  return std::pair(std::string(host), number);
}

CommandLine check(const std::string& file, std::optional<int> startMinute) {
  CommandLine command;
  auto read = readStructureFile(file);
  if (read.ok()) {
    command.exitStatus = 0;
    const std::time_t now = std::time(nullptr);
    command.out = scheduleTable(read.value(), startMinute ? nextTimeOfDay(*startMinute, now) : now);
  } else {
    command.exitStatus = 1;
    for (const std::string& problem : read.failure()) command.err += problem + "\n";
  }
  return command;
}

}  // namespace

CommandLine readCommandLine(std::span<const char* const> args) {
  CommandLine command;
  bool help = false, version = false, optionsEnd = false;
  std::optional<std::string> checkFile, printLetter;
  // `tell` and the words after it: the command for a running clock.
  std::optional<std::vector<std::string>> told;
  // Each of these asks for a run of its own kind; two of them never go
  // together, whichever they are.
  std::vector<std::string_view> kinds;
  const auto kind = [&](std::string_view option) {
    if (std::find(kinds.begin(), kinds.end(), option) == kinds.end()) kinds.push_back(option);
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (told && (optionsEnd || !a.starts_with("--game"))) {
      told->emplace_back(a);
      continue;
    }
    if (!told && !optionsEnd && a == "tell") {
      told.emplace();
      kind("tell");
      continue;
    }
    if (optionsEnd || a.empty() || a[0] != '-')
      return refuse("unexpected argument '" + std::string(a) + "'");
    // "--structure FILE" or "--structure=FILE".
    const std::string_view name = a.substr(0, a.find('='));
    std::optional<std::string> value;
    const auto takeValue = [&]() -> bool {
      if (name.size() < a.size())
        value = std::string(a.substr(name.size() + 1));
      else if (i + 1 < args.size())
        value = args[++i];
      return value.has_value();
    };
    if (a == "--") {
      optionsEnd = true;
    } else if (a == "--fill") {
      command.options.fill = true;
    } else if (a == "--resume") {
      command.options.resume = true;
      kind("--resume");
    } else if (a == "--watch") {
      command.options.watch = true;
      kind("--watch");
    } else if (a == "--quiet") {
      command.options.quiet = true;
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      version = true;
    } else if (name == "--structure" || name == "--check") {
      if (!takeValue() || value->empty())
        return refuse("option '" + std::string(name) + "' needs a file name");
      if (name == "--check")
        checkFile = *value;
      else
        command.options.structureFile = *value;
      kind(name);
    } else if (name == "--start") {
      if (!takeValue()) return refuse("option '--start' needs a time, as in --start 19:30");
      command.options.startMinute = timeOfDay(*value);
      if (!command.options.startMinute)
        return refuse("'" + *value + "' is no time of day: say HH:MM, as in --start 19:30");
    } else if (name == "--game") {
      if (!takeValue()) return refuse("option '--game' needs a name");
      if (!validGameName(*value))
        return refuse("'" + *value + "' cannot name a game: use 1 to " +
                      std::to_string(kMaxGameName) + " letters, digits, '-' and '_'");
      command.options.game = *value;
    } else if (name == "--serve") {
      if (!takeValue() || value->empty())
        return refuse("option '--serve' needs a port, or ADDRESS:PORT");
      const auto address = servingAddress(*value);
      if (!address)
        return refuse("'" + *value +
                      "' is no address to serve on: give PORT (0 to 65535) or ADDRESS:PORT, "
                      "as 8080 or 0.0.0.0:8080");
      command.options.serve = true;
      command.options.serveHost = address->first;
      command.options.servePort = address->second;
      kind("--serve");
    } else if (name == "--print-structure") {
      if (!takeValue()) return refuse("option '--print-structure' needs A, B or C");
      printLetter = *value;
      kind("--print-structure");
    } else {
      return refuse("unknown option '" + std::string(a) + "'");
    }
  }
  if (help) {
    command.exitStatus = 0;
    command.out = std::string(kUsage) + std::string(kHelp);
    return command;
  }
  if (version) {
    command.exitStatus = 0;
    command.out = versionText();
    return command;
  }
  if (kinds.size() > 1)
    return refuse(std::string(kinds[0]) + " and " + std::string(kinds[1]) +
                  " do not go together: " + whatItDoes(kinds[0]) + "; " + whatItDoes(kinds[1]));
  if (printLetter) {
    const std::string& l = *printLetter;
    if (l.size() != 1 || std::string_view("AaBbCc").find(l[0]) == std::string_view::npos)
      return refuse("no built-in structure '" + l + "'; expected A, B or C");
    return printStructure(static_cast<char>(l[0] & ~0x20));
  }
  if (command.options.startMinute && (command.options.resume || command.options.watch))
    return refuse(std::string(command.options.resume ? "--resume" : "--watch") +
                  " and --start do not go together: the game's own clock says when it began");
  if (checkFile) return check(*checkFile, command.options.startMinute);
  if (told) {
    if (command.options.fill || command.options.quiet || command.options.startMinute)
      return refuse("tell takes no option but --game");
    return tell(*told, command.options.game);
  }
  return command;
}

int answerCommandLine(const CommandLine& command) {
  // A full disk or a closed pipe behind standard output is a failure too,
  // whether the text fills the buffer (the write fails) or not (the flush).
  errno = 0;
  bool written =
      std::fwrite(command.out.data(), 1, command.out.size(), stdout) == command.out.size();
  int error = errno;
  std::fwrite(command.err.data(), 1, command.err.size(), stderr);
  if (std::fflush(stdout) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written && command.exitStatus == 0) {
    std::fprintf(stderr, "potclock: write error: %s\n", std::strerror(error));
    return 1;
  }
  return command.exitStatus.value_or(0);
}

}  // namespace potclock
