#include "app/disk/statedir.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/console/fdio.h"

namespace potclock {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNewSuffix = ".new";

using krx::UniqueFd;

bool writeWhole(int fd, std::string_view data) {
  return krx::writeAll(fd, data.data(), data.size()) == data.size();
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

Failure refused(std::string reason) {
  return {Failure::refused, std::move(reason)};
}

// The system's reason for the call that has just failed.
Failure refusedBySystem(int error = errno) {
  return refused(std::strerror(error));
}

// Whether a directory of ours may be trusted with the game.
Result<void> trusted(int fd, const fs::path& path) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return refused(path.string() + ": " + std::strerror(errno));
  if (info.st_uid != ::geteuid())
    return refused("the directory " + path.string() + " belongs to another user");
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return refused("the directory " + path.string() + " may be changed by other users (mode " +
                   mode + ")");
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

// The address of the socket `name` in the directory open as `dir`: by the
// process's own link to the open directory, which is short whatever the
// directory's path, and names the directory opened rather than whatever its
// path names now; by the path itself where there is no /proc.
std::optional<sockaddr_un> socketAddress(int dir, const fs::path& path, std::string_view name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string where = "/proc/self/fd/" + std::to_string(dir);
  if (::access(where.c_str(), X_OK) != 0) where = path.string();
  where += "/" + std::string(name);
  if (where.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, where.c_str(), where.size() + 1);
  return address;
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

Result<StateDir> StateDir::open(const StateLocation& where, bool create) {
  // A missing level keeps ENOENT's text: a caller may show it.
  auto refusedOrMissing = [](int error) {
    return Failure{error == ENOENT ? Failure::missing : Failure::refused, std::strerror(error)};
  };
  if (create && !makeDirectories(where.base)) return refusedBySystem();
  UniqueFd dir(::open(where.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid()) return refusedOrMissing(errno);
  fs::path path = where.base;
  for (const auto& part : where.below) {
    path /= part;
    if (create && ::mkdirat(dir.get(), part.c_str(), 0700) != 0 && errno != EEXIST)
      return refusedBySystem();
    const int next =
        ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int error = errno;
      struct stat info {};
      if (::fstatat(dir.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode))
        return refused(path.string() + " is a symbolic link");
      return refusedOrMissing(error);
    }
    dir.reset(next);
    if (auto trust = trusted(dir.get(), path); !trust.ok()) return trust.failure();
  }
  return StateDir(std::move(dir), std::move(path));
}

Result<void> StateDir::write(std::string_view name, std::string_view text, CommitGate* gate) const {
  // Named after this process: a second clock started by mistake must not
  // rename this one's half-written file over the game, nor remove it.
  const std::string temporary = temporaryName(name, ::getpid());
  const std::string target(name);
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(fd_.get(), temporary.c_str(), kCreate, 0600);
  if (fd < 0 && errno == EEXIST) {
    // Left by a write of an earlier process with this number, cut short.
    ::unlinkat(fd_.get(), temporary.c_str(), 0);
    fd = ::openat(fd_.get(), temporary.c_str(), kCreate, 0600);
  }
  if (fd < 0) return refusedBySystem();
  UniqueFd out(fd);
  bool renamed = false;
  bool ok = writeWhole(out.get(), text) && ::fsync(out.get()) == 0 && out.close();
  if (ok) {
    std::unique_lock<std::mutex> lock;
    if (gate != nullptr) lock = std::unique_lock(gate->mutex);
    if (gate == nullptr || gate->open) {
      ok = ::renameat(fd_.get(), temporary.c_str(), fd_.get(), target.c_str()) == 0;
      renamed = ok;
    }
  }
  const int error = errno;
  if (!renamed) ::unlinkat(fd_.get(), temporary.c_str(), 0);
  if (!ok) return refusedBySystem(error);
  // The rename itself must survive a power cut.
  if (renamed) ::fsync(fd_.get());
  return {};
}

Result<void> StateDir::probe(std::string_view name, std::size_t size) const {
  const std::string temporary = temporaryName(name, ::getpid());
  ::unlinkat(fd_.get(), temporary.c_str(), 0);
  UniqueFd out(::openat(fd_.get(), temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) return refusedBySystem();
  const bool ok = writeWhole(out.get(), std::string(size, '\n')) && out.close();
  const int error = errno;
  ::unlinkat(fd_.get(), temporary.c_str(), 0);
  if (!ok) return refusedBySystem(error);
  return {};
}

Result<std::string> StateDir::read(std::string_view name, std::size_t limit) const {
  const std::string file(name);
  UniqueFd in(::openat(fd_.get(), file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!in.valid()) {
    if (errno == ENOENT) return Failure{Failure::missing, {}};
    return refusedBySystem();
  }
  struct stat info {};
  if (::fstat(in.get(), &info) != 0) return refusedBySystem();
  if (!S_ISREG(info.st_mode)) return refused("not a regular file");

  // One byte past the limit tells a file that is too long.
  std::string text;
  if (!krx::readUpTo(in.get(), text, limit + 1)) return refusedBySystem();
  if (text.size() > limit) return Failure{Failure::tooLong, {}};
  return text;
}

Result<FileLock> StateDir::lock(std::string_view name) const {
  const std::string file(name);
  UniqueFd fd(::openat(fd_.get(), file.c_str(),
                       O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
  if (!fd.valid()) return refusedBySystem();
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return refusedBySystem();
  if (!S_ISREG(info.st_mode)) return refused("not a regular file");
  // The holder may let go between the two calls: then try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_SETLK, &whole) == 0) return FileLock(std::move(fd));
    if (errno != EACCES && errno != EAGAIN) return refusedBySystem();
    whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_GETLK, &whole) != 0) return refusedBySystem();
    if (whole.l_type != F_UNLCK) return Failure{Failure::held, {}, static_cast<long>(whole.l_pid)};
  }
  return Failure{Failure::held, {}};
}

Result<krx::UniqueFd> StateDir::listenSocket(std::string_view name) const {
  const auto address = socketAddress(fd_.get(), path_, name);
  if (!address) return refused(path_.string() + ": the path is too long for a socket");
  struct stat info {};
  const std::string file(name);
  // Only a socket is taken for a stale one; any other file of that name is
  // not the program's, and stays.
  if (::fstatat(fd_.get(), file.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(info.st_mode))
    ::unlinkat(fd_.get(), file.c_str(), 0);
  krx::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return refusedBySystem();
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
      ::listen(fd.get(), 16) != 0)
    return refusedBySystem();
  return fd;
}

Result<krx::UniqueFd> StateDir::connectSocket(std::string_view name) const {
  const auto address = socketAddress(fd_.get(), path_, name);
  if (!address) return refused(path_.string() + ": the path is too long for a socket");
  krx::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return refusedBySystem();
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ECONNREFUSED) return Failure{Failure::missing, {}};
    return refusedBySystem(error);
  }
  return fd;
}

bool StateDir::removed() const {
  struct stat info {};
  return ::fstat(fd_.get(), &info) == 0 && info.st_nlink == 0;
}

int StateDir::watch(int inotify, std::uint32_t mask) const {
  // The open directory's own name in /proc: a directory swapped in at the
  // path meanwhile is not the one watched.
  const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
  return ::inotify_add_watch(inotify, self.c_str(), mask | IN_ONLYDIR);
}

void StateDir::remove(std::string_view name) const {
  ::unlinkat(fd_.get(), std::string(name).c_str(), 0);
}

void StateDir::removeStaleTemporaries() const {
  UniqueFd fd(::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return;
  DIR* dir = ::fdopendir(fd.get());
  if (dir == nullptr) return;
  fd.release();  // the directory stream's now
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
    if (::fstatat(fd_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode))
      ::unlinkat(fd_.get(), name.c_str(), 0);
  }
}

}  // namespace potclock
