#include "app/disk/follower.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <string_view>
#include <utility>

#include "app/disk/resume.h"

namespace potclock {

namespace {

// What the clock does to the game's files: a write is a rename over the
// file, the end of the game a removal; and what makes the directory itself
// another one.
constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                  IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

Follower::Follower(std::optional<StateLocation> where, std::string file)
    : where_(std::move(where)),
      name_(std::move(file)),
      structureName_(structureCopyName(name_)),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

bool Follower::look() {
  bool changed = drain();
  // Removed (rm -rf) while it waits, the directory sends no event while
  // it is open here: a clock that starts then makes a new one.
  if (dir_ && dir_->removed()) {
    if (watch_ >= 0) ::inotify_rm_watch(inotify_.get(), watch_);
    watch_ = -1;
    dir_.reset();
    changed = true;
  }
  if (!dir_ && where_) {
    auto opened = StateDir::open(*where_, false);
    if (opened.ok()) {
      dir_ = std::move(opened.value());
      if (inotify_.valid()) watch_ = dir_->watch(inotify_.get(), kEvents);
      refused_.reset();
      changed = true;
    } else if (opened.failure().kind != Failure::missing) {
      // A directory that is not to be trusted is no game, and says why.
      refused_ = opened.failure();
      changed = true;
    }
  }
  // Without inotify (its limits reached) every pass reads the files.
  return changed || !inotify_.valid();
}

Result<GameState> Follower::state() const {
  if (!dir_) return refused_.value_or(Failure{Failure::missing, {}});
  return loadGameState(*dir_, name_);
}

std::optional<Game> Follower::game(const GameState& state) const {
  if (!dir_) return std::nullopt;
  return gameOfState(state, state.structure ? loadStructureCopy(*dir_, name_) : std::nullopt);
}

std::filesystem::path Follower::file() const {
  return where_ ? where_->directory() / name_ : std::filesystem::path(name_);
}

bool Follower::drain() {
  if (!inotify_.valid()) return false;
  bool changed = false;
  // Room for one event with the longest name; a read returns at least one,
  // and the loop reads until none is left. A bigger buffer would only
  // deepen the stack, whose pages stay with the process.
  alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
  for (;;) {
    const ssize_t n = ::read(inotify_.get(), buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) != 0) {
        if ((event->mask & IN_Q_OVERFLOW) == 0 && dir_) {
          ::inotify_rm_watch(inotify_.get(), event->wd);
          dir_.reset();
          watch_ = -1;
        }
        changed = true;
        continue;
      }
      const std::string_view file = event->len > 0 ? event->name : "";
      if (file == name_ || file == structureName_) changed = true;
    }
  }
  return changed;
}

}  // namespace potclock
