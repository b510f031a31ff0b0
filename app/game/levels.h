// The three built-in blind structures: one numbered sequence of 64 level
// labels (structure A, "-----", B, "-----", C, "-----") and a big-blind list
// per structure, indexed by the position of the level within it.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace potclock {

inline constexpr int kLevelCount = 64;
inline constexpr int kFirstLevel = 1;
// The highest level that runs: the table's last label only ever shows as
// the level after it.
inline constexpr int kLastLevel = kLevelCount - 1;

// A level's label, held in place rather than pointed to: a table of
// pointers is relocated when the program is loaded, which makes its page
// private to every clock and display.
struct LevelLabel {
  template <std::size_t N>
  consteval LevelLabel(const char (&label)[N]) {  // implicit: the table reads as text
    static_assert(N <= sizeof text, "a level label has at most ten characters");
    for (std::size_t i = 0; i < N; ++i) text[i] = label[i];
  }
  constexpr operator std::string_view() const { return text; }
  char text[11]{};
};
extern const std::array<LevelLabel, kLevelCount> aLevels;
extern const std::array<long, 23> aBlindsA;
extern const std::array<long, 16> aBlindsB;
extern const std::array<long, 22> aBlindsC;

struct BuiltInStructure {
  char letter;
  std::string_view heading;  // as the level list shows it
  int firstLevel;
  std::span<const long> bigBlinds;
};
extern const std::array<BuiltInStructure, 3> kStructures;

// The label of level n (1 to 64); any other n raises a bound error and, if
// the handler returns, breaks.
std::string_view levelLabel(int n);

// The level as the timer's caption names it: its number within its
// structure, right-aligned in two, with "-Fast" or "-Club".
std::string levelDesignation(int n);

// Writes the first twelve levels of each structure at rows 12 to 23.
void drawLevelList();

}  // namespace potclock
