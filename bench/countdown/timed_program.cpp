#include "countdown/timed_program.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "support/temp_dir.h"

namespace bench {

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const std::string& benchStateHome() {
  static const TempDir scratch("potclock-bench");
  static const std::string dir = scratch.path().string();
  return dir;
}

namespace {

e2e::Launch launchOf(const std::vector<std::string>& argv, TermSize size) {
  e2e::Launch launch;
  launch.argv = argv;
  launch.rows = size.rows;
  launch.cols = size.cols;
  launch.env = {"COLUMNS", "LINES", "LANG=C.UTF-8", "XDG_STATE_HOME=" + benchStateHome()};
  return launch;
}

}  // namespace

TimedProgram::TimedProgram(const std::vector<std::string>& argv, TermSize size)
    : VtermPty(launchOf(argv, size)) {}

bool TimedProgram::pumpUntil(double until, const std::function<bool()>& done) {
  if (done && done()) return true;
  while (!closed()) {
    const double t = now();
    double wake = until;
    if (frameOpen_) wake = std::min(wake, lastOutputAt() + kQuiet);
    if (t >= until && !frameOpen_) return false;
    const std::uint64_t before = bytesRead();
    readOnce(static_cast<int>(std::ceil(std::max(0.0, wake - t) * 1000)));
    if (bytesRead() != before) {
      frameOpen_ = true;
      if (done && done()) return true;
      continue;
    }
    if (frameOpen_ && now() - lastOutputAt() >= kQuiet) {
      frameOpen_ = false;
      if (onFrame) onFrame(lastOutputAt());
      if (done && done()) return true;
    }
    if (now() >= until && !frameOpen_) return false;
  }
  return done && done();
}

Snapshot TimedProgram::snapshot() const {
  Snapshot s;
  s.reserve(static_cast<std::size_t>(rows() * cols()));
  for (int r = 0; r < rows(); ++r) {
    for (int c = 0; c < cols(); ++c) s.push_back(cell(r, c));
  }
  return s;
}

rusage TimedProgram::end() {
  kill(SIGTERM);
  if (waitExit(3) < 0) {
    kill(SIGKILL);
    waitExit(60);
  }
  return usage();
}

}  // namespace bench
