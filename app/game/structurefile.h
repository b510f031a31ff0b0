// The structure file: an organiser's structure written in TOML.
//
//   name = "Friday deep stack"   # optional, at most 40 printable characters
//   minutes = 20                 # or hands = 12: each level's length unless
//                                # the level gives its own (1 to 999)
//   [tournament]                 # optional: the numbers (app/game/numbers.h)
//   chips = 10000                # each entry's stack, 1 to 999,999,999
//   buy-in = 100                 # optional: what an entry puts in the pool
//   rebuy = [10000, 100]         # optional: [chips, price]
//   add-on = [15000, 50]         # optional: [chips, price]
//   guarantee = 5000             # optional: the least the pool pays
//   payouts = [50, 30, 20]       # optional: percentages by place, adding up
//                                # to 100, each at most the one before
//   late-registration = 6        # optional: the last level taking entries
//   entries = 40                 # optional: entries at the start
//   [[level]]
//   blinds = [100, 200]          # small at most big, 1 to 999,999,999
//   ante = 25                    # optional, 0 to 999,999,999
//   minutes = 30                 # optional (hands = N in a hands structure)
//   [[level]]
//   break = 15                   # minutes, 1 to 999
//   note = "Colour up the 25s"   # optional, at most 40 printable characters
//
// 1 to 500 entries. Any other key is refused, so that a misspelt one never
// goes unnoticed. The name and notes are kept in UTF-8; every character of
// them is one the screen's code page has.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/result.h"
#include "app/game/structure.h"

namespace potclock {

// The most problems reported of one file; a count of the rest follows them.
inline constexpr std::size_t kMaxProblems = 20;
// A larger file is refused unread.
inline constexpr std::size_t kMaxStructureFileSize = 1024 * 1024;

// The structure `text` describes, or its problems in the order they stand
// in the file, each "FILE:LINE:COLUMN: what is wrong; expected ...".
using StructureRead = Result<Structure, std::vector<std::string>>;
StructureRead parseStructure(std::string_view text, std::string_view fileName);

// The same for a file; one that cannot be read is the one problem
// "FILE: cannot read: reason". A FIFO or a device is refused, never waited on.
StructureRead readStructureFile(const std::filesystem::path& file);

// `t` as a structure file, headed by `comment` as "# " lines. Reading it back
// gives `t` again, as long as `t` keeps within the limits.
std::string formatStructure(const Structure& t, std::string_view comment);

// The schedule as `--check` prints it: one row per entry with the clock time
// at which it would start if the game started at `now`, then the total.
// Rows fit in 80 columns.
std::string scheduleTable(const Structure& t, std::time_t now);

}  // namespace potclock
