// The game a clock runs: one sequence of entries (levels and breaks, each
// with its blinds, ante, length and way of counting) and a rule for what
// follows the last. The built-in levels and an organiser's structure are
// both one, so the timer, the display, the TV band and the state on disk
// each know one kind of game.
#pragma once

#include <optional>
#include <string>

#include "app/game/mode.h"
#include "app/game/structure.h"

namespace potclock {

// The entry after the running one, as the screens name it: the text of the
// next-level row, the large characters of a TV's band, and the words beside
// them there.
struct NextLevel {
  std::string text;
  std::string large;
  std::string beside;  // may be empty
};

// Where a game picks up within an entry.
struct Within {
  double secondsLeft = 0;  // minutes
  bool paused = false;     // minutes: comes back paused
  int handsCounted = 0;    // hands
  long corrected = 0;      // minutes: seconds the director added to the entry
  // A planned start still to come (wall clock, epoch seconds): the game
  // begins then, at the entry's start; 0 once it has begun.
  double startsAt = 0;
};

// An entry of a game (from 0) and the point within it; and, for a game with
// a [tournament] table, its count then.
struct ResumePoint {
  int index = 0;
  Within within;
  std::optional<Count> count = std::nullopt;
};

class Game {
 public:
  // The level table's levels 1 to 63 as entries 0 to 62, separators and
  // all, `perLevel` minutes or hands each: the table runs on from one
  // structure into the next, and the game ends after level 63.
  static Game builtIn(int perLevel, Mode mode);
  // An organiser's structure (at least one entry): after its last entry
  // the last starts again.
  static Game of(Structure structure);

  int size() const;
  // Whether it is an organiser's structure, which is kept beside the game.
  bool fromFile() const { return file_; }
  // The organiser's structure; the built-in game's as its entries run.
  const Structure& structure() const { return s_; }
  const std::string& name() const { return s_.name; }
  // The built-in game warns of nothing.
  const Warnings& warnings() const { return s_.warnings; }
  // Whether entry `index` is in its last minute with `secondsLeft` to run,
  // and warned of: an entry counting minutes, longer than that minute.
  bool lastMinute(int index, long secondsLeft) const {
    return s_.warnings.minute && mode(index) == Mode::minutes && length(index) > 1 &&
           secondsLeft <= 60;
  }

  Mode mode(int index) const;
  int length(int index) const;  // minutes, or hands
  double lengthSeconds(int index) const { return 60.0 * length(index); }
  bool isBreak(int index) const;
  long ante(int index) const;
  const std::string& note(int index) const;  // a break's, UTF-8
  // The level as the caption names it: its number within the built-in
  // structure ("1-Fast"), or among the structure's levels.
  std::string designation(int index) const;
  // The blinds in large characters, or the break's word. A built-in index
  // outside the table raises a bound error.
  std::string label(int index) const;
  NextLevel next(int index) const;
  // Whether the last entry starts again when it runs out, rather than ending
  // the game.
  bool repeatsLast() const { return file_; }

  // Where the game stands at `now` (wall clock, epoch seconds), saved at
  // entry `index` with `within` when the entry was running at `endsAt`
  // (paused and hands games stand where they were): entries that ran out
  // meanwhile are passed by their own lengths, up to a level that counts
  // hands (which waits for its first hand) or the last, which ends the
  // game or starts again. Nothing when the game is over.
  std::optional<ResumePoint> standingAt(int index, const Within& within, double endsAt,
                                        double now) const;

 private:
  Game() = default;
  const Entry& entry(int index) const { return s_.entries[static_cast<std::size_t>(index)]; }

  Structure s_;
  bool file_ = false;
  Mode mode_ = Mode::minutes;  // the built-in game's
};

}  // namespace potclock
