#include "harness/plain_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

// A clock holds its game's lock, so clocks started without a StateHome of
// their own by tests that run side by side must not share one game: each
// test process gets its own directory under the one the build names.
class OwnStateHome : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* base = std::getenv("XDG_STATE_HOME");
    if (base == nullptr || base[0] != '/') return;
    dir_ = fs::path(base) / ("run-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ::setenv("XDG_STATE_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

 private:
  fs::path dir_;
};
const auto* const kOwnStateHome = ::testing::AddGlobalTestEnvironment(new OwnStateHome);

std::string StateHome::text() const {
  return readFile(file());
}

void StateHome::write(const std::string& text) const {
  fs::create_directories(file().parent_path());
  std::ofstream(file(), std::ios::binary) << text;
}

Launch potclockIn(const StateHome& home, std::vector<std::string> args) {
  Launch launch;
  launch.argv = {POTCLOCK_BIN};
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.env = {home.env()};
  return launch;
}

Ran runPlain(std::vector<std::string> args, const std::vector<std::string>& env) {
  args.insert(args.begin(), POTCLOCK_BIN);
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) std::abort();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::setsid();  // no controlling terminal either
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  Ran ran;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&ran.out, &ran.err};
  int open = 2;
  while (open > 0 && ::poll(fds, 2, 10000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

}  // namespace e2e
