#include "frame/options.h"

#include <gtest/gtest.h>

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
  };
  const Case cases[] = {
      {{}, false, false},
      {{"--fill"}, true, false},
      {{"--resume"}, false, true},
      {{"--resume", "--fill"}, true, true},
      {{"--fill", "--"}, true, false},
  };
  for (const Case& c : cases) {
    const CommandLine command = read(c.args);
    EXPECT_FALSE(command.exitStatus.has_value()) << command.err;
    EXPECT_EQ(command.options.fill, c.fill);
    EXPECT_EQ(command.options.resume, c.resume);
    EXPECT_EQ(command.out + command.err, "");
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
    EXPECT_EQ(help.out.rfind("Usage: potclock [--fill] [--resume]\n", 0), 0u) << help.out;
    for (const char* part : {"--fill", "--resume", "--version", "Space", "Escape", "Alt-Enter",
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
  };
  for (const Case& c : cases) {
    const CommandLine command = read(c.args);
    EXPECT_EQ(command.exitStatus, 2) << c.first;
    EXPECT_EQ(command.out, "");
    EXPECT_EQ(command.err.rfind(c.first, 0), 0u) << command.err;
    EXPECT_NE(command.err.find("Usage: potclock"), std::string::npos);
  }
}

}  // namespace
}  // namespace potclock
