#include "frame/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace potclock {
namespace {

CommandLine read(std::vector<const char*> args) {
  return readCommandLine(args);
}

TEST(CommandLine, OptionsThatRunTheProgram) {
  struct Case {
    std::vector<const char*> args;
    bool fill, resume;
    std::string structureFile = "";
  };
  const Case cases[] = {
      {{}, false, false},
      {{"--fill"}, true, false},
      {{"--resume"}, false, true},
      {{"--resume", "--fill"}, true, true},
      {{"--fill", "--"}, true, false},
      {{"--structure", "my.toml"}, false, false, "my.toml"},
      {{"--structure=-odd name", "--fill"}, true, false, "-odd name"},
  };
  for (const Case& c : cases) {
    const CommandLine command = read(c.args);
    EXPECT_FALSE(command.exitStatus.has_value()) << command.err;
    EXPECT_EQ(command.options.fill, c.fill);
    EXPECT_EQ(command.options.resume, c.resume);
    EXPECT_EQ(command.options.structureFile, c.structureFile);
    EXPECT_EQ(command.out + command.err, "");
  }
}

TEST(CommandLine, ServeTakesAPortAndAnAddressOfAnyForm) {
  struct Case {
    std::vector<const char*> args;
    std::string host;
    int port;
  };
  const Case cases[] = {
      {{"--serve", "8080"}, "", 8080},
      {{"--serve=0"}, "", 0},
      {{"--serve", "0.0.0.0:65535"}, "0.0.0.0", 65535},
      {{"--serve", "tv-room.local:80", "--game", "main", "--quiet"}, "tv-room.local", 80},
      {{"--serve", "[::1]:8080"}, "::1", 8080},
  };
  for (const Case& c : cases) {
    const CommandLine command = read(c.args);
    EXPECT_FALSE(command.exitStatus.has_value()) << command.err;
    EXPECT_TRUE(command.options.serve);
    EXPECT_EQ(command.options.serveHost, c.host);
    EXPECT_EQ(command.options.servePort, c.port);
  }
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput) {
  for (const auto& args : {std::vector<const char*>{"--help"},
                           {"-h"},
                           {"--resume", "--help"},
                           {"--version", "--help"}}) {
    const CommandLine help = read(args);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(
        help.out.rfind("Usage: potclock [--fill] [--start HH:MM] [--resume | --structure FILE]\n"
                       "       potclock --check FILE | --print-structure A|B|C\n",
                       0),
        0u)
        << help.out;
    for (const char* part :
         {"--fill", "--resume", "--version", "--structure FILE\n", "--check FILE\n",
          "--print-structure A|B|C\n", "[[level]]", "Space", "Escape", "Alt-Enter",
          "XDG_STATE_HOME", "KRXERROR.LOG", "Exit status"}) {
      EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
  }
  const CommandLine version = read({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  // The runtime is 1.82.3, build 0.
  EXPECT_NE(version.out.find("runtime 1.82.3, version word 0x01520300"), std::string::npos)
      << version.out;
  EXPECT_EQ(version.out.rfind("potclock ", 0), 0u);
}

TEST(CommandLine, AnythingElseIsRefusedWithTheUsage) {
  struct Case {
    std::vector<const char*> args;
    std::string first;
  };
  const Case cases[] = {
      {{"--fil"}, "potclock: unknown option '--fil'\n"},
      {{"-x"}, "potclock: unknown option '-x'\n"},
      {{"--help", "--bogus"}, "potclock: unknown option '--bogus'\n"},
      {{"game"}, "potclock: unexpected argument 'game'\n"},
      {{"--", "--fill"}, "potclock: unexpected argument '--fill'\n"},
      {{""}, "potclock: unexpected argument ''\n"},
      {{"--structure"}, "potclock: option '--structure' needs a file name\n"},
      {{"--check="}, "potclock: option '--check' needs a file name\n"},
      {{"--print-structure"}, "potclock: option '--print-structure' needs A, B or C\n"},
      {{"--print-structure", "D"}, "potclock: no built-in structure 'D'; expected A, B or C\n"},
      {{"--print-structure=AB"}, "potclock: no built-in structure 'AB'; expected A, B or C\n"},
      {{"--structure", "f", "--resume"},
       "potclock: --structure and --resume do not go together: --structure starts a game of a "
       "file; --resume goes on with the last game\n"},
      {{"--check", "f", "--print-structure", "A"},
       "potclock: --check and --print-structure do not go together: --check only checks a file; "
       "--print-structure only prints a built-in structure\n"},
      {{"--check", "f.toml", "--watch"},
       "potclock: --check and --watch do not go together: --check only checks a file; --watch "
       "shows the running game\n"},
      {{"--serve"}, "potclock: option '--serve' needs a port, or ADDRESS:PORT\n"},
      {{"--serve", "65536"}, "potclock: '65536' is no address to serve on: give PORT"},
      {{"--serve", "host:"}, "potclock: 'host:' is no address to serve on"},
      {{"--serve", ":80"}, "potclock: ':80' is no address to serve on"},
      {{"--serve", "::1:80"}, "potclock: '::1:80' is no address to serve on"},
      {{"--serve", "-8"}, "potclock: '-8' is no address to serve on"},
      {{"--serve", "80", "--watch"},
       "potclock: --serve and --watch do not go together: --serve shows the running game to "
       "browsers; --watch shows the running game\n"},
      {{"--watch", "--resume", "--watch"},
       "potclock: --watch and --resume do not go together: --watch shows the running game; "
       "--resume goes on with the last game\n"},
      {{"--watch", "tell", "bust"},
       "potclock: --watch and tell do not go together: --watch shows the running game; "
       "tell only tells a running clock\n"},
      {{"--start", "19:30", "--resume"},
       "potclock: --resume and --start do not go together: the game's own clock says when it "
       "began\n"},
      {{"--start", "7pm"}, "potclock: '7pm' is no time of day: say HH:MM, as in --start 19:30\n"},
      {{"tell", "time", "soon"}, "potclock: tell: 'time soon' is no time"},
  };
  for (const Case& c : cases) {
    const CommandLine command = read(c.args);
    EXPECT_EQ(command.exitStatus, 2) << c.first;
    EXPECT_EQ(command.out, "");
    EXPECT_EQ(command.err.rfind(c.first, 0), 0u) << command.err;
    EXPECT_NE(command.err.find("Usage: potclock"), std::string::npos);
  }
}

TEST(CommandLine, StructuresAreCheckedAndPrintedWithoutATerminal) {
  for (const char* letter : {"B", "b"}) {
    const CommandLine print = read({"--print-structure", letter});
    EXPECT_EQ(print.exitStatus, 0);
    EXPECT_EQ(print.err, "");
    EXPECT_EQ(print.out.rfind("# potclock's built-in structure B - Fast blinds, 20 minutes a "
                              "level.\n",
                              0),
              0u)
        << print.out;
    EXPECT_NE(print.out.find("\nminutes = 20\n\n[[level]]\nblinds = [1, 2]\n\n[[level]]\n"
                             "blinds = [2, 4]\n"),
              std::string::npos)
        << print.out;
  }
  const std::string example =
      (std::filesystem::path(__FILE__).parent_path() / "../../examples/deepstack.toml").string();
  const CommandLine good = read({"--check", example.c_str()});
  EXPECT_EQ(good.exitStatus, 0);
  EXPECT_EQ(good.err, "");
  EXPECT_EQ(good.out.rfind("Friday deep stack\n\nLevel  Blinds", 0), 0u) << good.out;
  const CommandLine bad = read({"--check=/nonexistent/f.toml"});
  EXPECT_EQ(bad.exitStatus, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "/nonexistent/f.toml: cannot read: No such file or directory\n");
}

}  // namespace
}  // namespace potclock
