// The directory where potclock keeps what outlives the process (the running
// game, and whatever else a game needs beside it), opened once and safely:
// every file in it is read, replaced and removed relative to the open
// directory, so that nothing is ever done through a symbolic link swapped in
// on the way, and a directory that another user could change is not used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/game/result.h"
#include "runtime/console/fdio.h"

namespace potclock {

// Where the state directory is: `base` is the directory the environment
// names ($XDG_STATE_HOME, or $HOME) and is taken as the user named it;
// every level of `below` is the program's own and is opened without
// following a link.
struct StateLocation {
  std::filesystem::path base;
  std::filesystem::path below;
  std::filesystem::path directory() const { return base / below; }
};

// $XDG_STATE_HOME/potclock or ~/.local/state/potclock; nothing when the
// environment names neither a state nor a home directory.
std::optional<StateLocation> stateLocation();

// Lets a write that is still under way be told not to put its file in
// place: the game it was keeping has ended meanwhile.
struct CommitGate {
  std::mutex mutex;
  bool open = true;
};

// A lock held on a file of the state directory by this process: it goes
// with the object, or with the process however that ends, so a crashed
// program never keeps it.
class FileLock {
 public:
  explicit FileLock(krx::UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  krx::UniqueFd fd_;
};

class StateDir {
 public:
  // Opens the directory, making the missing levels (mode 0700) when
  // `create`. Refuses a level below the base that is a link, and a state
  // directory that belongs to another user or that others may write in.
  // The failure's reason is a sentence that names the directory, or the
  // system's; a missing directory when not `create` is `missing`, with
  // ENOENT's text.
  static Result<StateDir> open(const StateLocation& where, bool create);

  const std::filesystem::path& path() const { return path_; }

  // Replaces `name` whole: a new file beside it, flushed to the disk, then
  // renamed over it (unless `gate` has been closed meanwhile). A failure is
  // `refused`, with the system's reason.
  Result<void> write(std::string_view name, std::string_view text,
                     CommitGate* gate = nullptr) const;
  // The text of `name`, a regular file of at most `limit` bytes: else
  // `missing`, `tooLong`, or `refused` with the system's reason.
  Result<std::string> read(std::string_view name, std::size_t limit) const;
  // A missing file is no failure.
  void remove(std::string_view name) const;
  // Whether a file of `name` could be made here now: the quick part of a
  // write (create and fill a new file of `size` bytes), undone at once.
  Result<void> probe(std::string_view name, std::size_t size) const;
  // Takes the lock on `name` (a file made for it, empty, and kept: removing
  // it would let two processes lock two different files of one name). A
  // record lock rather than a whole-file one, so that its holder can be
  // named: `held` by another process, or `refused` with the system's reason.
  Result<FileLock> lock(std::string_view name) const;
  // A socket of `name` here, listening (made afresh: only the holder of the
  // game's lock calls it, so one left by a crashed clock is stale) or
  // connected to the one listening. Non-blocking, closed on exec. Reached
  // through the open directory, so that neither a link swapped in nor a
  // long path gets in the way; `missing` when nothing listens there.
  Result<krx::UniqueFd> listenSocket(std::string_view name) const;
  Result<krx::UniqueFd> connectSocket(std::string_view name) const;
  // Whether the directory has been removed since it was opened: it lives on
  // while it is open here, so no path and no event says so.
  bool removed() const;
  // Adds the directory itself to the inotify instance `inotify`: the
  // directory opened here, not whatever its path names now. The watch
  // descriptor, or -1.
  int watch(int inotify, std::uint32_t mask) const;
  // Removes the new files of writes cut short (NAME.PID.new) whose process
  // no longer runs.
  void removeStaleTemporaries() const;

 private:
  StateDir(krx::UniqueFd fd, std::filesystem::path path)
      : fd_(std::move(fd)), path_(std::move(path)) {}
  krx::UniqueFd fd_;
  std::filesystem::path path_;
};

}  // namespace potclock
