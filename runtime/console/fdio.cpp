#include "runtime/console/fdio.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace krx {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int UniqueFd::release() {
  return std::exchange(fd_, -1);
}

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool UniqueFd::close() {
  return ::close(release()) == 0;
}

ssize_t readRetrying(int fd, void* buffer, std::size_t length) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, length);
    if (n >= 0 || errno != EINTR) return n;
  }
}

ssize_t writeRetrying(int fd, const void* data, std::size_t length) {
  for (;;) {
    const ssize_t n = ::write(fd, data, length);
    if (n >= 0 || errno != EINTR) return n;
  }
}

std::size_t writeAll(int fd, const char* data, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = writeRetrying(fd, data + done, length - done);
    if (n < 0) break;
    if (n == 0) {
      errno = ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool readUpTo(int fd, std::string& text, std::size_t most) {
  char buffer[4096];
  while (text.size() < most) {
    const std::size_t want = std::min(sizeof buffer, most - text.size());
    const ssize_t n = readRetrying(fd, buffer, want);
    if (n < 0) return false;
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace krx
