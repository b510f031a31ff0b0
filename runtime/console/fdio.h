// File descriptors: one owner for each, and reads and writes that carry on
// through a signal. The functions are async-signal-safe (the signal handlers
// restoring the terminal write with them); UniqueFd is not for handlers.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace krx {

// Owns a file descriptor, closed when the owner goes; -1 owns none.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  // Closes the one owned, if any, and owns `fd`.
  void reset(int fd = -1);
  // Closes now, so that a failing close (a write the disk refused late) is
  // seen; false then, with errno saying why.
  bool close();

 private:
  int fd_ = -1;
};

// read() and write(), again when a signal came before anything moved.
ssize_t readRetrying(int fd, void* buffer, std::size_t length);
ssize_t writeRetrying(int fd, const void* data, std::size_t length);

// Writes the `length` bytes, stopping at the first failure; returns how many
// went. Short of all, errno says why: ENOSPC for a file that took nothing
// and reported no error, EAGAIN for a non-blocking one that is full.
std::size_t writeAll(int fd, const char* data, std::size_t length);

// Appends what `fd` holds to `text`, to its end or until `text` has `most`
// bytes; false on a failure, errno saying why.
bool readUpTo(int fd, std::string& text, std::size_t most);

}  // namespace krx
