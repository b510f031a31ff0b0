#include "runtime/lang/nationmsg.h"

#include <string_view>

namespace krx {

namespace {

struct NationText {
  int number;
  std::string_view text;
};

// The overwrite indicator is as long as the insert indicator, so writing it at
// the same place replaces the other completely.
constexpr NationText kTexts[] = {
    {7, "Ins"},           // insert mode on
    {8, "Ovr"},           // insert mode off
    {9, "Invalid date"},  // the edit buffer holds an impossible date
    {10, "Range: "},      // lead-in of "Range: low - high"
    {11, " - "},          // between the two bounds
};

}  // namespace

std::string NATIONMSG(int number) {
  for (const auto& entry : kTexts)
    if (entry.number == number) return std::string(entry.text);
  return "";
}

}  // namespace krx
