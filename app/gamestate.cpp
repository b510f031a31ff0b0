#include "app/gamestate.h"

#include "app/levels.h"
#include "app/tournament.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace potclock {

namespace {

// The file, a line each:
//   potclock-state 1
//   level 42
//   per-level 2
//   mode M                      M minutes, H hands
//   ends-at 1796745600.250      minutes, running: wall clock, epoch seconds
//   paused-left 754             minutes, paused: seconds left
//   hands-counted 3             hands
//   structure 1                 a game of an organiser's own structure
constexpr std::string_view kMagic = "potclock-state";
constexpr std::size_t kMaxFileSize = 4096;
constexpr int kMaxPerLevel = 99999;

template <typename T>
std::optional<T> number(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// The lines of the text as (key, value) pairs; nothing when one has no value
// or a key comes twice.
std::optional<std::vector<std::pair<std::string_view, std::string_view>>> fields(
    std::string_view text) {
  std::vector<std::pair<std::string_view, std::string_view>> out;
  while (!text.empty()) {
    const auto eol = text.find('\n');
    if (eol == std::string_view::npos) return std::nullopt;  // cut short
    const std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol + 1);
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0) return std::nullopt;
    const std::string_view key = line.substr(0, blank);
    for (const auto& [seen, value] : out) {
      if (seen == key) return std::nullopt;
    }
    out.emplace_back(key, line.substr(blank + 1));
  }
  return out;
}

std::string systemReason(int error) {
  return std::strerror(error);
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes the directory and any missing parent, each private to the user.
bool makeDirectories(const std::filesystem::path& dir) {
  std::filesystem::path built;
  for (const auto& part : dir) {
    built /= part;
    if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failing close is seen.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::string formatGameState(const GameState& s) {
  std::string out = std::string(kMagic) + " " + std::to_string(kGameStateVersion) + "\n";
  out += "level " + std::to_string(s.nLevel) + "\n";
  out += "per-level " + std::to_string(s.nMinutes) + "\n";
  out += std::string("mode ") + (s.hands ? "H" : "M") + "\n";
  if (s.structure) out += "structure 1\n";
  if (s.hands) {
    out += "hands-counted " + std::to_string(s.handsCounted) + "\n";
  } else if (s.paused) {
    out += "paused-left " + std::to_string(s.secondsLeft) + "\n";
  } else {
    char text[64];
    std::snprintf(text, sizeof text, "ends-at %.3f\n", s.endsAt);
    out += text;
  }
  return out;
}

std::variant<GameState, StateFault> parseGameState(std::string_view text) {
  const auto lines = fields(text);
  if (!lines || lines->empty() || lines->front().first != kMagic) return StateFault::damaged;
  const auto version = number<int>(lines->front().second);
  if (!version || *version < 1) return StateFault::damaged;
  if (*version > kGameStateVersion) return StateFault::newer;

  std::optional<int> level, perLevel, handsCounted;
  std::optional<long> pausedLeft;
  std::optional<double> endsAt;
  std::optional<std::string_view> mode;
  bool structure = false;
  for (std::size_t i = 1; i < lines->size(); ++i) {
    const auto [key, value] = (*lines)[i];
    if (key == "level") {
      level = number<int>(value);
      if (!level) return StateFault::damaged;
    } else if (key == "per-level") {
      perLevel = number<int>(value);
      if (!perLevel) return StateFault::damaged;
    } else if (key == "mode") {
      mode = value;
    } else if (key == "ends-at") {
      endsAt = number<double>(value);
      if (!endsAt) return StateFault::damaged;
    } else if (key == "paused-left") {
      pausedLeft = number<long>(value);
      if (!pausedLeft) return StateFault::damaged;
    } else if (key == "structure") {
      if (value != "1") return StateFault::damaged;
      structure = true;
    } else if (key == "hands-counted") {
      handsCounted = number<int>(value);
      if (!handsCounted) return StateFault::damaged;
    } else {
      return StateFault::damaged;
    }
  }
  const int lastLevel = structure ? kMaxEntries : kLastLevel;
  const int maxPerLevel = structure ? kMaxLength : kMaxPerLevel;
  if (!level || !perLevel || !mode || *level < 1 || *level > lastLevel || *perLevel < 1 ||
      *perLevel > maxPerLevel) {
    return StateFault::damaged;
  }

  GameState s;
  s.nLevel = *level;
  s.nMinutes = *perLevel;
  s.structure = structure;
  if (*mode == "H") {
    if (!handsCounted || endsAt || pausedLeft || *handsCounted < 0 || *handsCounted >= *perLevel)
      return StateFault::damaged;
    s.hands = true;
    s.handsCounted = *handsCounted;
  } else if (*mode == "M") {
    if (handsCounted || endsAt.has_value() == pausedLeft.has_value()) return StateFault::damaged;
    if (pausedLeft) {
      if (*pausedLeft < 0 || *pausedLeft > 60L * *perLevel) return StateFault::damaged;
      s.paused = true;
      s.secondsLeft = *pausedLeft;
    } else {
      if (!std::isfinite(*endsAt) || *endsAt <= 0) return StateFault::damaged;
      s.endsAt = *endsAt;
    }
  } else {
    return StateFault::damaged;
  }
  return s;
}

std::filesystem::path gameStatePath() {
  // A relative XDG_STATE_HOME is to be ignored, as if it were not set.
  const char* state = std::getenv("XDG_STATE_HOME");
  std::filesystem::path base;
  if (state != nullptr && state[0] == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = std::filesystem::path(home) / ".local" / "state";
  }
  return base / "potclock" / "game";
}

std::filesystem::path structureCopyPath(const std::filesystem::path& file) {
  std::filesystem::path copy = file;
  copy += ".structure";
  return copy;
}

std::string saveGameState(const std::filesystem::path& file, const GameState& state) {
  return saveStateText(file, formatGameState(state));
}

std::string saveStateText(const std::filesystem::path& file, std::string_view text) {
  const std::filesystem::path dir = file.parent_path();
  if (!makeDirectories(dir)) return systemReason(errno);
  // The directory itself is opened without following a link, and the file
  // is made and renamed relative to it.
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dirFd.get() < 0) return systemReason(errno);

  const std::string name = file.filename().string();
  // Named after this process: a second clock started by mistake must not
  // rename this one's half-written file over the game, nor remove it.
  const std::string temporary = name + "." + std::to_string(::getpid()) + ".new";
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(dirFd.get(), temporary.c_str(), kCreate, 0600);
  if (fd < 0 && errno == EEXIST) {
    // Left by a write of an earlier process with this number, cut short.
    ::unlinkat(dirFd.get(), temporary.c_str(), 0);
    fd = ::openat(dirFd.get(), temporary.c_str(), kCreate, 0600);
  }
  if (fd < 0) return systemReason(errno);
  Fd out(fd);
  if (!writeAll(out.get(), text) || ::fsync(out.get()) != 0 || !out.close() ||
      ::renameat(dirFd.get(), temporary.c_str(), dirFd.get(), name.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(dirFd.get(), temporary.c_str(), 0);
    return systemReason(error);
  }
  // The rename itself must survive a power cut.
  ::fsync(dirFd.get());
  return {};
}

std::variant<GameState, LoadFailure> loadGameState(const std::filesystem::path& file) {
  const auto loaded = loadStateText(file, kMaxFileSize);
  if (const auto* failure = std::get_if<LoadFailure>(&loaded)) return *failure;
  const auto parsed = parseGameState(std::get<std::string>(loaded));
  if (const auto* state = std::get_if<GameState>(&parsed)) return *state;
  return LoadFailure{
      std::get<StateFault>(parsed) == StateFault::newer ? LoadFailure::newer : LoadFailure::damaged,
      {}};
}

std::variant<std::string, LoadFailure> loadStateText(const std::filesystem::path& file,
                                                     std::size_t limit) {
  Fd in(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) {
    if (errno == ENOENT) return LoadFailure{LoadFailure::missing, {}};
    return LoadFailure{LoadFailure::unreadable, systemReason(errno)};
  }
  struct stat info {};
  if (::fstat(in.get(), &info) != 0)
    return LoadFailure{LoadFailure::unreadable, systemReason(errno)};
  if (!S_ISREG(info.st_mode)) return LoadFailure{LoadFailure::unreadable, "not a regular file"};

  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LoadFailure{LoadFailure::unreadable, systemReason(errno)};
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > limit) return LoadFailure{LoadFailure::damaged, {}};
  }
  return text;
}

std::string loadFailureMessage(const std::filesystem::path& file, const LoadFailure& failure) {
  const std::string name = file.string();
  switch (failure.kind) {
    case LoadFailure::missing:
      return "potclock: there is no game to resume";
    case LoadFailure::unreadable:
      return "potclock: cannot read the saved game " + name + ": " + failure.reason;
    case LoadFailure::damaged:
      return "potclock: the saved game " + name + " is damaged";
    case LoadFailure::newer:
      return "potclock: the saved game " + name + " was written by a newer version of potclock";
  }
  return {};
}

void removeGameState(const std::filesystem::path& file) {
  ::unlink(file.c_str());
  ::unlink(structureCopyPath(file).c_str());
}

}  // namespace potclock
