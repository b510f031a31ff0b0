// A program started with a standard descriptor closed (2>&-, or by a careless
// parent) must not let its own files and pipes take those numbers: what it
// later writes to standard error would land in them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

#include "runtime/backends/headless.h"
#include "runtime/backends/startup.h"

namespace {

bool isDevNull(int fd) {
  struct stat null {
  }, st{};
  return ::stat("/dev/null", &null) == 0 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
         st.st_rdev == null.st_rdev;
}

// Runs the start routine in a child with `closed` closed beforehand; the
// child's exit status says what the backend found when it was made, the first
// thing the start routine opens: 0 all well, 10 + fd for a descriptor that is
// not /dev/null, 20 + fd for one that was open and changed, 30 when a new pipe
// takes a standard number.
int startWithClosed(std::initializer_list<int> closed) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    struct stat before[3];
    for (int fd = 0; fd < 3; ++fd) ::fstat(fd, &before[fd]);
    const std::vector<int> wasClosed(closed);
    for (int fd : wasClosed) ::close(fd);
    int verdict = 0;
    krx::StartupRecord record;
    krx::krxStart(record, [&]() -> std::unique_ptr<krx::Backend> {
      for (int fd = 0; fd < 3 && verdict == 0; ++fd) {
        struct stat now {};
        if (std::find(wasClosed.begin(), wasClosed.end(), fd) != wasClosed.end()) {
          if (!isDevNull(fd)) verdict = 10 + fd;
        } else if (::fstat(fd, &now) != 0 || now.st_ino != before[fd].st_ino) {
          verdict = 20 + fd;
        }
      }
      int pipeEnds[2];
      if (verdict == 0 && ::pipe(pipeEnds) == 0 && (pipeEnds[0] < 3 || pipeEnds[1] < 3))
        verdict = 30;
      return std::make_unique<krx::HeadlessBackend>();
    });
    ::_exit(verdict);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardDescriptors, ClosedOnesAreOpenedOnDevNullBeforeAnythingElse) {
  EXPECT_EQ(startWithClosed({2}), 0);
  EXPECT_EQ(startWithClosed({1}), 0);
  EXPECT_EQ(startWithClosed({0, 2}), 0);
  EXPECT_EQ(startWithClosed({0, 1, 2}), 0);
  EXPECT_EQ(startWithClosed({}), 0);
}

}  // namespace
