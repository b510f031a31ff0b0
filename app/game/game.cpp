#include "app/game/game.h"

#include <algorithm>
#include <utility>

#include "app/game/levels.h"
#include "runtime/lang/item.h"
#include "runtime/lang/strings.h"

namespace potclock {

namespace {

constexpr std::string_view kBreakLabel = "  BREAK";
// What follows a structure's last entry, as the level table's separators do.
constexpr std::string_view kNoNextEntry = "-----";
const std::string kNoNote;

}  // namespace

Game Game::builtIn(int perLevel, Mode mode) {
  Game g;
  g.mode_ = mode;
  g.s_.hands = mode == Mode::hands;
  for (int n = kFirstLevel; n <= kLastLevel; ++n) {
    Entry e;
    e.length = perLevel;
    g.s_.entries.push_back(e);
  }
  return g;
}

Game Game::of(Structure structure) {
  Game g;
  g.s_ = std::move(structure);
  g.file_ = true;
  return g;
}

int Game::size() const {
  return static_cast<int>(s_.entries.size());
}

Mode Game::mode(int index) const {
  if (!file_) return mode_;
  return entryMode(s_, static_cast<std::size_t>(index));
}

int Game::length(int index) const {
  return file_ ? entry(index).length : s_.entries.front().length;
}

bool Game::isBreak(int index) const {
  return file_ && entry(index).isBreak;
}

long Game::ante(int index) const {
  return file_ ? entry(index).ante : 0;
}

const std::string& Game::note(int index) const {
  return file_ ? entry(index).note : kNoNote;
}

std::string Game::designation(int index) const {
  if (!file_) return levelDesignation(index + 1);
  const int number = levelNumber(s_, static_cast<std::size_t>(index));
  return krx::STR(number, number < 100 ? 2 : 3, 0);
}

std::string Game::label(int index) const {
  if (!file_) return std::string(levelLabel(index + 1));
  const Entry& e = entry(index);
  return e.isBreak ? std::string(kBreakLabel) : blindsLabel(e.small, e.big);
}

NextLevel Game::next(int index) const {
  if (!file_) {
    // The table's own text, blanks and all: its separator names what
    // follows a structure's last level.
    const std::string label(levelLabel(index + 2));
    return {label, krx::ALLTRIM(label), ""};
  }
  if (index + 1 >= size()) return {std::string(kNoNextEntry), std::string(kNoNextEntry), ""};
  const Entry& e = entry(index + 1);
  if (e.isBreak) {
    const std::string text =
        "break of " + std::to_string(e.length) + (e.length == 1 ? " minute" : " minutes");
    return {text, "BREAK", text};
  }
  const std::string blinds = krx::ALLTRIM(blindsLabel(e.small, e.big));
  if (e.ante == 0) return {blinds, blinds, ""};
  const std::string ante = "Ante: " + chipsText(e.ante);
  return {blinds + "  " + ante, blinds, ante};
}

std::optional<ResumePoint> Game::standingAt(int index, const Within& within, double endsAt,
                                            double now) const {
  ResumePoint point{index, within};
  if (within.startsAt > now) {
    if (mode(index) == Mode::minutes)
      point.within.secondsLeft = lengthSeconds(index) + static_cast<double>(within.corrected);
    return point;
  }
  // A planned start come and gone: the game has begun, whatever it counts.
  point.within.startsAt = 0;
  if (mode(index) == Mode::hands || within.paused) return point;
  const double left = endsAt - now;
  if (left > 0) {
    // A wall clock set back while the game was closed cannot lengthen the
    // entry beyond its own length and what the director added.
    point.within.secondsLeft =
        std::min(left, lengthSeconds(index) + static_cast<double>(std::max(0L, within.corrected)));
    return point;
  }
  // Entries end back to back: the one after the saved entry started when
  // that ended, -left seconds ago.
  double over = -left;
  const int last = size() - 1;
  for (;;) {
    if (index < last)
      ++index;
    else if (!repeatsLast())
      return std::nullopt;
    point.index = index;
    point.within = {};                      // a correction goes with its own entry
    if (mode(index) == Mode::hands) break;  // waits for its first hand
    const double length = lengthSeconds(index);
    if (index == last && repeatsLast()) over = krx::remainderOf(over, length);
    if (over < length) {
      point.within.secondsLeft = length - over;
      break;
    }
    over -= length;
  }
  return point;
}

}  // namespace potclock
