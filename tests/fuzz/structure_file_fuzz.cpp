// libFuzzer target for the structure-file reader: any text, read as an
// organiser's structure file. It comes back as a structure or as its
// problems, never as a crash, a hang or a sanitizer report. A structure keeps
// within the limits the screen and the clock rely on, written out it reads
// back the same, and its schedule keeps to 80 columns.
//   build-fuzz/tests/fuzz/structure_file_fuzz -dict=tests/fuzz/structure_file_fuzz.dict
//   tests/fuzz/corpus/structure_file_fuzz
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/game/structure.h"
#include "app/game/structurefile.h"

namespace {

using potclock::Entry;

void check(bool ok) {
  if (!ok) std::abort();
}

// Characters of UTF-8 text, as the screen counts them: one a column.
std::size_t columns(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool withinLimits(const Entry& e) {
  if (e.length < 1 || e.length > potclock::kMaxLength) return false;
  if (e.isBreak) return columns(e.note) <= potclock::kMaxTextLength;
  return e.small >= 1 && e.small <= e.big && e.big <= potclock::kMaxChips && e.ante >= 0 &&
         e.ante <= potclock::kMaxChips && e.note.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const potclock::StructureRead read = potclock::parseStructure(text, "fuzz.toml");
  if (!read.ok()) {
    const auto& problems = read.failure();
    check(!problems.empty() && problems.size() <= potclock::kMaxProblems + 1);
    for (const std::string& p : problems) check(p.starts_with("fuzz.toml:"));
    return 0;
  }
  const potclock::Structure& t = read.value();
  check(!t.entries.empty() && t.entries.size() <= std::size_t{potclock::kMaxEntries});
  check(columns(t.name) <= potclock::kMaxTextLength);
  for (const Entry& e : t.entries) check(withinLimits(e));

  const std::string written = potclock::formatStructure(t, "written back\n\nby the fuzzer");
  const potclock::StructureRead back = potclock::parseStructure(written, "back.toml");
  check(back.ok() && back.value() == t);

  const std::string table = potclock::scheduleTable(t, 1'700'000'000);
  for (std::size_t start = 0; start < table.size();) {
    const std::size_t end = std::min(table.find('\n', start), table.size());
    check(columns(std::string_view(table).substr(start, end - start)) <= 80);
    start = end + 1;
  }
  return 0;
}
