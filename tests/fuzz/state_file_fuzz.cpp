// libFuzzer target for the game's state file: any text, read as the file
// `potclock --resume` finds. It comes back as a game, or as damaged or newer,
// never as a crash or a sanitizer report; a game it gives is one the clock
// can run, and saved again it reads back as the same game.
//   build-fuzz/tests/fuzz/state_file_fuzz -dict=tests/fuzz/state_file_fuzz.dict
//   tests/fuzz/corpus/state_file_fuzz
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/disk/statefile.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using potclock::Failure;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto read = potclock::parseGameState(text);
  if (!read.ok()) {
    const Failure::Kind kind = read.failure().kind;
    check(kind == Failure::damaged || kind == Failure::newer);
    return 0;
  }
  const potclock::GameState& s = read.value();
  check(s.nLevel >= 1 && s.nPerLevel >= 1);
  if (s.mode == potclock::Mode::hands)
    check(!s.paused && s.handsCounted >= 0 && s.handsCounted < s.nPerLevel);
  else if (s.paused)
    check(s.secondsLeft >= 0 && s.secondsLeft <= 60L * s.nPerLevel);
  else
    check(std::isfinite(s.endsAt) && s.endsAt > 0);

  check(!s.count || (s.structure && potclock::validCount(*s.count)));

  const auto back = potclock::parseGameState(potclock::formatGameState(s));
  check(back.ok() && back.value() == s);
  return 0;
}
