// Preloaded into the program by the tests only: every flush to the disk
// first waits SLOW_SYNC_SECONDS (3 unless set), as a failing or distant disk
// can make it wait, and then flushes.
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

namespace {

void waitLikeASlowDisk() {
  const char* seconds = std::getenv("SLOW_SYNC_SECONDS");
  timespec left{seconds != nullptr ? std::atol(seconds) : 3, 0};
  while (::nanosleep(&left, &left) != 0) {
  }
}

}  // namespace

extern "C" int fsync(int fd) {
  waitLikeASlowDisk();
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int fdatasync(int fd) {
  waitLikeASlowDisk();
  return static_cast<int>(::syscall(SYS_fdatasync, fd));
}
