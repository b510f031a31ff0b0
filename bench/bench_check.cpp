// How long `potclock --check` takes for a structure file at the 500-entry
// limit: what an organiser waits for after each edit of a long structure.
//
// The file (levels with antes, a break with a note after every ninth level)
// is written to a temporary directory; the program runs on it RUNS times,
// its output thrown away, and the wall time of each run from fork to exit is
// taken. The reading and the table alone, in this process, are timed too, so
// that the start of the process can be told from the work.
//
//   bench_check [--runs N] POTCLOCK
//
// Figures only, against the target of 10 ms a run. Exit status: 0, or 2 when
// something could not be measured.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/game/structurefile.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string fiveHundredEntries() {
  std::string text =
      "# 500 entries, the most a structure may have.\n"
      "name = \"The longest structure there can be\"\nminutes = 20\n";
  long big = 2;
  for (int i = 1; i <= potclock::kMaxEntries; ++i) {
    if (i % 10 == 0) {
      text += "\n[[level]]\nbreak = 10\nnote = \"Break " + std::to_string(i / 10) + "\"\n";
      continue;
    }
    text += "\n[[level]]\nblinds = [" + std::to_string(big / 2) + ", " + std::to_string(big) +
            "]\nante = " + std::to_string(big / 4) + "\n";
    if (i % 7 == 0) text += "minutes = 15\n";
    big = std::min(big + big / 20 + 2, potclock::kMaxChips - 1);
  }
  return text;
}

// One run of the program, its output to /dev/null: milliseconds, or -1.
double timedRun(const char* program, const std::string& file) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execl(program, program, "--check", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  const double ms = msSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

struct Spread {
  double median, low, high;
};

Spread spread(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.front(), ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 50;
  const char* program = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      program = argv[i];
  }
  if (!program) {
    std::fprintf(stderr, "usage: bench_check [--runs N] POTCLOCK\n");
    return 2;
  }
  const TempDir dir("bench-check");
  const std::string file = dir.file("longest.toml");
  const std::string text = fiveHundredEntries();
  std::ofstream(file) << text;

  int status = 0;
  std::vector<double> program_ms, inside_ms;
  for (int i = 0; i < runs && status == 0; ++i) {
    const double ms = timedRun(program, file);
    if (ms < 0) {
      std::fprintf(stderr, "bench_check: %s --check %s did not succeed\n", program, file.c_str());
      status = 2;
    }
    program_ms.push_back(ms);
  }
  std::size_t tableBytes = 0;
  for (int i = 0; i < runs && status == 0; ++i) {
    const auto start = Clock::now();
    const auto read = potclock::parseStructure(text, file);
    if (read.ok()) tableBytes = potclock::scheduleTable(read.value(), std::time(nullptr)).size();
    inside_ms.push_back(msSince(start));
  }
  if (status != 0) return status;

  const Spread whole = spread(program_ms), work = spread(inside_ms);
  std::printf("potclock --check on a file of 500 entries (%zu bytes in, %zu out), %d runs\n",
              text.size(), tableBytes, runs);
  std::printf("  %-36s median %6.2f ms  (%.2f to %.2f)  target under 10 ms\n",
              "the program, fork to exit:", whole.median, whole.low, whole.high);
  std::printf("  %-36s median %6.2f ms  (%.2f to %.2f)\n",
              "reading and table, in process:", work.median, work.low, work.high);
  return 0;
}
