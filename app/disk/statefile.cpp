#include "app/disk/statefile.h"

#include "app/game/command.h"
#include "app/game/levels.h"
#include "app/game/structure.h"
#include "runtime/lang/strings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
//   asking-left 37              minutes, running: the quit question is open,
//                               the screen standing at these seconds
//   hands-counted 3             hands
//   structure 1                 a game of an organiser's own structure
//   corrected -60               minutes: seconds added to the level's length
//   starts-at 1796745000        a planned start not yet come (wall clock)
//                               (version 2 only, as the four below)
//   entries 52                  a game with a count (version 2 only, and
//   players 37                  then all four): its entries, players,
//   rebuys 12                   rebuys and add-ons
//   addons 30
constexpr std::string_view kMagic = "potclock-state";
constexpr std::size_t kMaxFileSize = 4096;
// The latest end a running level can have, in the year 2286: the clock
// writes no later one, and the longest file is measured with it.
constexpr double kLatestEnd = 9'999'999'999.999;

// A time of 0 to kLatestEnd seconds to the millisecond, as the file keeps
// it, without the maths library (see decimal()).
double toMillisecond(double seconds) {
  return static_cast<double>(static_cast<long long>(seconds * 1000 + 0.5)) / 1000;
}

template <typename T>
std::optional<T> number(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// A decimal number with a fraction ("1796745600.250"), an exponent allowed.
// Checked here and read by the runtime's reader rather than from_chars,
// whose floating-point reading brings the maths library into the program,
// and each shared library costs the clock and every display resident memory.
std::optional<double> decimal(std::string_view text) {
  std::size_t i = text.starts_with('-') ? 1 : 0;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return std::nullopt;
  }
  bool outOfRange = false;
  const double value = krx::readDecimal(text, &outOfRange);
  if (i != text.size() || outOfRange) return std::nullopt;
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

}  // namespace

std::string formatGameState(const GameState& s) {
  // Version 1 as before, unless a line that version 1 does not know is there.
  const bool later = s.count || (s.mode == Mode::minutes && s.corrected != 0) || s.startsAt > 0;
  std::string out = std::string(kMagic) + " " + (later ? "2" : "1") + "\n";
  out += "level " + std::to_string(s.nLevel) + "\n";
  out += "per-level " + std::to_string(s.nPerLevel) + "\n";
  out += "mode " + std::string(modeLetter(s.mode)) + "\n";
  if (s.structure) out += "structure 1\n";
  if (s.count) {
    out += "entries " + std::to_string(s.count->entries) + "\n";
    out += "players " + std::to_string(s.count->players) + "\n";
    out += "rebuys " + std::to_string(s.count->rebuys) + "\n";
    out += "addons " + std::to_string(s.count->addons) + "\n";
  }
  if (s.mode == Mode::hands) {
    out += "hands-counted " + std::to_string(s.handsCounted) + "\n";
  } else if (s.paused) {
    out += "paused-left " + std::to_string(s.secondsLeft) + "\n";
  } else {
    char text[64];
    std::snprintf(text, sizeof text, "ends-at %.3f\n", s.endsAt);
    out += text;
    if (s.asking) out += "asking-left " + std::to_string(s.secondsLeft) + "\n";
  }
  if (s.mode == Mode::minutes && s.corrected != 0)
    out += "corrected " + std::to_string(s.corrected) + "\n";
  if (s.startsAt > 0) {
    char text[64];
    std::snprintf(text, sizeof text, "starts-at %.3f\n", s.startsAt);
    out += text;
  }
  return out;
}

Result<GameState> parseGameState(std::string_view text) {
  const Failure damaged{Failure::damaged, {}};
  const auto lines = fields(text);
  if (!lines || lines->empty() || lines->front().first != kMagic) return damaged;
  const auto version = number<int>(lines->front().second);
  if (!version || *version < 1) return damaged;
  if (*version > kGameStateVersion) return Failure{Failure::newer, {}};

  std::optional<int> level, perLevel, handsCounted, entries, players, rebuys, addons;
  std::optional<long> pausedLeft, askingLeft, corrected;
  std::optional<double> endsAt, startsAt;
  std::optional<Mode> mode;
  bool structure = false;
  // Each key once, its value of its kind; anything else is not our file.
  const auto take = [](auto& field, auto parsed) {
    field = parsed;
    return field.has_value();
  };
  for (std::size_t i = 1; i < lines->size(); ++i) {
    const auto [key, value] = (*lines)[i];
    bool good = false;
    if (key == "level")
      good = take(level, number<int>(value));
    else if (key == "per-level")
      good = take(perLevel, number<int>(value));
    else if (key == "mode")
      good = take(mode, modeOfLetter(value));
    else if (key == "ends-at")
      good = take(endsAt, decimal(value));
    else if (key == "paused-left")
      good = take(pausedLeft, number<long>(value));
    else if (key == "asking-left")
      good = take(askingLeft, number<long>(value));
    else if (key == "corrected" && *version == 2)
      good = take(corrected, number<long>(value));
    else if (key == "starts-at" && *version == 2)
      good = take(startsAt, decimal(value));
    else if (key == "hands-counted")
      good = take(handsCounted, number<int>(value));
    else if (key == "structure")
      good = structure = value == "1";
    else if (key == "entries" && *version == 2)
      good = take(entries, number<int>(value));
    else if (key == "players" && *version == 2)
      good = take(players, number<int>(value));
    else if (key == "rebuys" && *version == 2)
      good = take(rebuys, number<int>(value));
    else if (key == "addons" && *version == 2)
      good = take(addons, number<int>(value));
    if (!good) return damaged;
  }
  // A structure's entries and their lengths have the structure file's limits.
  const int lastLevel = structure ? kMaxEntries : kLastLevel;
  if (!level || !perLevel || !mode || *level < 1 || *level > lastLevel || *perLevel < 1)
    return damaged;
  if (*perLevel > (structure              ? kMaxLength
                   : *mode == Mode::hands ? kMostHandsPerLevel
                                          : kMostMinutesPerLevel))
    return damaged;

  GameState s;
  if (corrected) {
    if (*mode == Mode::hands || *corrected < -kMostCorrection || *corrected > kMostCorrection)
      return damaged;
    s.corrected = *corrected;
  }
  if (startsAt) {
    if (!std::isfinite(*startsAt) || *startsAt <= 0 || *startsAt > kLatestEnd) return damaged;
    s.startsAt = toMillisecond(*startsAt);
  }
  // The longest a level's time left can be: its length, and what the
  // director added.
  const long longest = 60L * *perLevel + std::max(0L, s.corrected);
  if (entries || players || rebuys || addons) {
    // Only a structure has a [tournament] table to count by.
    if (!structure || !entries || !players || !rebuys || !addons) return damaged;
    s.count = Count{*entries, *players, *rebuys, *addons};
    if (!validCount(*s.count)) return damaged;
  }
  s.nLevel = *level;
  s.nPerLevel = *perLevel;
  s.mode = *mode;
  s.structure = structure;
  if (*mode == Mode::hands) {
    if (!handsCounted || endsAt || pausedLeft || askingLeft || *handsCounted < 0 ||
        *handsCounted >= *perLevel)
      return damaged;
    s.handsCounted = *handsCounted;
  } else {
    if (handsCounted || endsAt.has_value() == pausedLeft.has_value()) return damaged;
    if (askingLeft && (pausedLeft || *askingLeft < 0 || *askingLeft > longest)) return damaged;
    if (askingLeft) {
      s.asking = true;
      s.secondsLeft = *askingLeft;
    }
    if (pausedLeft) {
      if (*pausedLeft < 0 || *pausedLeft > longest) return damaged;
      s.paused = true;
      s.secondsLeft = *pausedLeft;
    } else {
      if (!std::isfinite(*endsAt) || *endsAt <= 0 || *endsAt > kLatestEnd) return damaged;
      // A finer time kept as it was read would not be the one saved next.
      s.endsAt = toMillisecond(*endsAt);
      if (s.endsAt == 0) return damaged;
    }
  }
  return s;
}

bool validGameName(std::string_view name) {
  if (name.empty() || name.size() > kMaxGameName) return false;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

std::string gameFileName(std::string_view game) {
  if (game.empty()) return std::string(kGameFileName);
  return std::string(kGameFileName) + "-" + std::string(game);
}

std::string structureCopyName(std::string_view name) {
  return std::string(name) + ".structure";
}

std::string lockFileName(std::string_view name) {
  return std::string(name) + ".lock";
}

std::filesystem::path gameStatePath(std::string_view game) {
  const auto where = stateLocation();
  return where ? where->directory() / gameFileName(game) : std::filesystem::path();
}

Result<void> saveGameState(const StateDir& dir, std::string_view name, const GameState& state,
                           CommitGate* gate) {
  return dir.write(name, formatGameState(state), gate);
}

Result<void> probeGameState(const StateDir& dir, std::string_view name) {
  GameState longest;
  longest.nLevel = kLastLevel;
  longest.nPerLevel = kMostMinutesPerLevel;
  longest.endsAt = kLatestEnd;
  longest.asking = true;
  longest.secondsLeft = 60L * kMostMinutesPerLevel;
  longest.structure = true;
  longest.count = Count{kMaxCount, kMaxCount, kMaxCount, kMaxCount};
  return dir.probe(name, formatGameState(longest).size());
}

Result<GameState> loadGameState(const StateDir& dir, std::string_view name) {
  const auto text = dir.read(name, kMaxFileSize);
  // A file too long for what it holds was not written by this program.
  if (!text.ok() && text.failure().kind == Failure::tooLong) return Failure{Failure::damaged, {}};
  if (!text.ok()) return text.failure();
  return parseGameState(text.value());
}

void removeGameState(const StateDir& dir, std::string_view name) {
  dir.remove(name);
  dir.remove(structureCopyName(name));
}

StateLocation stateLocationOf(const std::filesystem::path& file) {
  const std::filesystem::path dir = file.parent_path();
  // The environment's state directory is trusted level by level below the
  // directory it names, whichever way a game reaches it.
  if (const auto where = stateLocation(); where && where->directory() == dir) return *where;
  return {dir.parent_path(), dir.filename()};
}

Result<void> saveGameState(const std::filesystem::path& file, const GameState& state) {
  auto dir = StateDir::open(stateLocationOf(file), true);
  if (!dir.ok()) return Failure{Failure::refused, dir.failure().reason};
  return saveGameState(dir.value(), file.filename().string(), state);
}

Result<GameState> loadGameState(const std::filesystem::path& file) {
  auto dir = StateDir::open(stateLocationOf(file), false);
  if (!dir.ok()) return dir.failure();
  return loadGameState(dir.value(), file.filename().string());
}

std::string loadFailureMessage(const std::filesystem::path& file, const Failure& failure) {
  const std::string name = file.string();
  switch (failure.kind) {
    case Failure::missing:
      return "potclock: there is no game to resume";
    case Failure::refused:
    case Failure::held:
      return "potclock: cannot read the saved game " + name + ": " + failure.reason;
    case Failure::damaged:
    case Failure::tooLong:
      return "potclock: the saved game " + name + " is damaged";
    case Failure::newer:
      return "potclock: the saved game " + name + " was written by a newer version of potclock";
  }
  return {};
}

void removeGameState(const std::filesystem::path& file) {
  auto dir = StateDir::open(stateLocationOf(file), false);
  if (dir.ok()) removeGameState(dir.value(), file.filename().string());
}

}  // namespace potclock
