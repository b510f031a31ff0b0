#include "app/statedir.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace potclock {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNewSuffix = ".new";

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&& other) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
    return *this;
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  // Closes now, so that a failing close is seen.
  bool close() { return ::close(release()) == 0; }

 private:
  int fd_;
};

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    // Nothing taken and no error: a disk that takes no more.
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes the directory and any missing parent, each private to the user.
bool makeDirectories(const fs::path& dir) {
  fs::path built;
  for (const auto& part : dir) {
    built /= part;
    if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Why a directory of ours may not be trusted with the game, or nothing.
std::string untrusted(int fd, const fs::path& path) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return path.string() + ": " + std::strerror(errno);
  if (info.st_uid != ::geteuid())
    return "the directory " + path.string() + " belongs to another user";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return "the directory " + path.string() + " may be changed by other users (mode " + mode + ")";
  }
  return {};
}

std::string temporaryName(std::string_view name, long pid) {
  return std::string(name) + "." + std::to_string(pid) + std::string(kNewSuffix);
}

// The process number in NAME.PID.new, or nothing for any other name.
std::optional<long> writerOf(std::string_view file) {
  if (file.size() <= kNewSuffix.size() || !file.ends_with(kNewSuffix)) return std::nullopt;
  file.remove_suffix(kNewSuffix.size());
  const auto dot = file.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == file.size()) return std::nullopt;
  long pid = 0;
  const char* end = file.data() + file.size();
  const auto [ptr, ec] = std::from_chars(file.data() + dot + 1, end, pid);
  if (ec != std::errc() || ptr != end || pid <= 0) return std::nullopt;
  return pid;
}

}  // namespace

std::optional<StateLocation> stateLocation() {
  // A relative XDG_STATE_HOME is to be ignored, as if it were not set.
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return StateLocation{state, "potclock"};
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return std::nullopt;
  return StateLocation{home, fs::path(".local") / "state" / "potclock"};
}

std::variant<StateDir, StateDir::Failure> StateDir::open(const StateLocation& where, bool create) {
  auto failure = [](std::string reason, bool missing = false) {
    return Failure{std::move(reason), missing};
  };
  if (create && !makeDirectories(where.base)) return failure(std::strerror(errno));
  Fd dir(::open(where.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return failure(std::strerror(errno), errno == ENOENT);
  fs::path path = where.base;
  for (const auto& part : where.below) {
    path /= part;
    if (create && ::mkdirat(dir.get(), part.c_str(), 0700) != 0 && errno != EEXIST)
      return failure(std::strerror(errno));
    const int next =
        ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int error = errno;
      struct stat info {};
      if (::fstatat(dir.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode))
        return failure(path.string() + " is a symbolic link");
      return failure(std::strerror(error), error == ENOENT);
    }
    ::close(dir.release());
    dir = Fd(next);
    if (auto why = untrusted(dir.get(), path); !why.empty()) return failure(std::move(why));
  }
  return StateDir(dir.release(), std::move(path));
}

StateDir::StateDir(StateDir&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

StateDir& StateDir::operator=(StateDir&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

StateDir::~StateDir() {
  if (fd_ >= 0) ::close(fd_);
}

std::string StateDir::write(std::string_view name, std::string_view text, CommitGate* gate) const {
  // Named after this process: a second clock started by mistake must not
  // rename this one's half-written file over the game, nor remove it.
  const std::string temporary = temporaryName(name, ::getpid());
  const std::string target(name);
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(fd_, temporary.c_str(), kCreate, 0600);
  if (fd < 0 && errno == EEXIST) {
    // Left by a write of an earlier process with this number, cut short.
    ::unlinkat(fd_, temporary.c_str(), 0);
    fd = ::openat(fd_, temporary.c_str(), kCreate, 0600);
  }
  if (fd < 0) return std::strerror(errno);
  Fd out(fd);
  bool renamed = false;
  bool ok = writeAll(out.get(), text) && ::fsync(out.get()) == 0 && out.close();
  if (ok) {
    std::unique_lock<std::mutex> lock;
    if (gate != nullptr) lock = std::unique_lock(gate->mutex);
    if (gate == nullptr || gate->open) {
      ok = ::renameat(fd_, temporary.c_str(), fd_, target.c_str()) == 0;
      renamed = ok;
    }
  }
  const int error = errno;
  if (!renamed) ::unlinkat(fd_, temporary.c_str(), 0);
  if (!ok) return std::strerror(error);
  // The rename itself must survive a power cut.
  if (renamed) ::fsync(fd_);
  return {};
}

std::string StateDir::probe(std::string_view name, std::size_t size) const {
  const std::string temporary = temporaryName(name, ::getpid());
  ::unlinkat(fd_, temporary.c_str(), 0);
  Fd out(
      ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (out.get() < 0) return std::strerror(errno);
  const bool ok = writeAll(out.get(), std::string(size, '\n')) && out.close();
  const int error = errno;
  ::unlinkat(fd_, temporary.c_str(), 0);
  return ok ? std::string() : std::strerror(error);
}

std::variant<std::string, ReadFailure> StateDir::read(std::string_view name,
                                                      std::size_t limit) const {
  const std::string file(name);
  Fd in(::openat(fd_, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) {
    if (errno == ENOENT) return ReadFailure{ReadFailure::missing, {}};
    return ReadFailure{ReadFailure::unreadable, std::strerror(errno)};
  }
  struct stat info {};
  if (::fstat(in.get(), &info) != 0)
    return ReadFailure{ReadFailure::unreadable, std::strerror(errno)};
  if (!S_ISREG(info.st_mode)) return ReadFailure{ReadFailure::unreadable, "not a regular file"};

  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadFailure{ReadFailure::unreadable, std::strerror(errno)};
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > limit) return ReadFailure{ReadFailure::tooLong, {}};
  }
  return text;
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::variant<FileLock, LockHeld, std::string> StateDir::lock(std::string_view name) const {
  const std::string file(name);
  Fd fd(::openat(fd_, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
  if (fd.get() < 0) return std::string(std::strerror(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return std::string(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return std::string("not a regular file");
  // The holder may let go between the two calls: then try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_SETLK, &whole) == 0) return FileLock(fd.release());
    if (errno != EACCES && errno != EAGAIN) return std::string(std::strerror(errno));
    whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_GETLK, &whole) != 0) return std::string(std::strerror(errno));
    if (whole.l_type != F_UNLCK) return LockHeld{static_cast<long>(whole.l_pid)};
  }
  return LockHeld{};
}

int StateDir::watch(int inotify, std::uint32_t mask) const {
  // The open directory's own name in /proc: a directory swapped in at the
  // path meanwhile is not the one watched.
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return ::inotify_add_watch(inotify, self.c_str(), mask | IN_ONLYDIR);
}

void StateDir::remove(std::string_view name) const {
  ::unlinkat(fd_, std::string(name).c_str(), 0);
}

void StateDir::removeStaleTemporaries() const {
  const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    const auto pid = writerOf(entry->d_name);
    if (!pid || *pid == ::getpid()) continue;
    // Only a process that is known gone: one of another user, which this
    // one may not signal, may still be writing.
    if (::kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH)
      stale.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : stale) {
    struct stat info {};
    if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
      ::unlinkat(fd_, name.c_str(), 0);
  }
}

}  // namespace potclock
