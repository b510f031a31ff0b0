// An organiser's own structure: a named list of blind levels (with antes and
// lengths of their own) and breaks, as a structure file describes it. The
// built-in structures can be written out as one, so an organiser starts from
// them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/mode.h"
#include "app/game/numbers.h"

namespace potclock {

// The limits that keep every entry on the screen and the clock sane.
inline constexpr int kMaxEntries = 500;
inline constexpr long kMaxChips = 999'999'999;  // a blind or an ante
inline constexpr int kMaxLength = 999;          // minutes or hands of a level, minutes of a break
inline constexpr std::size_t kMaxTextLength = 40;  // the name, a note

struct Entry {
  bool isBreak = false;
  // A level: its blinds (1 <= small <= big) and ante (0: none).
  long small = 0;
  long big = 0;
  long ante = 0;
  // Minutes, or hands when the structure counts hands; a break: minutes.
  int length = 0;
  std::string note;  // a break's, shown while it runs; may be empty

  bool operator==(const Entry&) const = default;
};

// What the screens warn of before it comes, each switchable: the level's
// last minute (the countdown changes colour, a short tone), a break after
// the running level (on the next-level row), the end of late registration.
struct Warnings {
  bool minute = false;
  bool breakAhead = false;
  bool lateRegistration = false;

  bool operator==(const Warnings&) const = default;
};

struct Structure {
  std::string name;    // may be empty
  bool hands = false;  // levels count hands; breaks always count minutes
  std::vector<Entry> entries;
  // Set as the file says, or else on for a structure with a [tournament]
  // table and off for one without.
  Warnings warnings{};
  // A planned start in the file (start = "19:30"), in minutes after
  // midnight; --start on the command line goes before it.
  std::optional<int> startMinute = std::nullopt;
  // Chips, buy-ins and prizes, for a structure that gives them.
  std::optional<NumbersRules> numbers = std::nullopt;

  bool operator==(const Structure&) const = default;
};

// How entry `index` runs: a level of a hands structure counts hands, any
// other entry (a break in either kind) counts minutes.
Mode entryMode(const Structure& t, std::size_t index);

// The number the caption gives entry `index` (from 0): levels count from 1,
// breaks have none (0).
int levelNumber(const Structure& t, std::size_t index);

// The blinds as the large display shows them, in the built-in labels' style
// ("  10 / 20", "  100/200", " 500/1000"): thousands written with K and
// millions with M only where the full label would not fit the 80 columns in
// large characters, so that no label is ever cut.
std::string blindsLabel(long small, long big);

// A chip amount in plain digits grouped for reading ("12,500").
std::string chipsText(long amount);

// Built-in structure 'A', 'B' or 'C' as a structure of `minutes` a level:
// the same blinds as the structure's levels in manual mode, numbered as a
// structure file's levels are.
Structure builtInStructure(char letter, int minutes = 20);

}  // namespace potclock
