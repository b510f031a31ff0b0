// libFuzzer target for the terminfo entry reader: any bytes, read as a
// compiled entry found in the database. They are an entry or not one, never
// a crash or a sanitizer report, and every capability the entry gives is
// read from the file as it stands there: a string is bytes of the file up to
// a NUL of the file, not up to whatever lies past its end.
//   build-fuzz/tests/fuzz/terminfo_entry_fuzz -dict=tests/fuzz/terminfo_entry_fuzz.dict
//   tests/fuzz/corpus/terminfo_entry_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/backends/terminfoentry.h"

namespace {

// The extended strings the program asks for, and names of other kinds.
constexpr const char* kExtendedNames[] = {"kLFT5", "kRIT5", "kHOM5", "kEND5", "kPRV5",
                                          "kNXT5", "AX",    "XT",    "RGB",   ""};

void check(bool ok) {
  if (!ok) std::abort();
}

void checkString(std::string_view file, const char* value) {
  if (value == nullptr) return;
  const std::string_view withEnd(value, std::strlen(value) + 1);
  check(file.find(withEnd) != std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const auto entry = krx::TerminfoEntry::parse(std::string(file));
  if (!entry) return 0;
  // Past every table the file can have: the counts are bounded by its size.
  for (std::size_t i = 0; i <= size; ++i) {
    static_cast<void>(entry->flag(i));
    check(entry->number(i) >= -1);
    checkString(file, entry->string(i));
  }
  for (const char* name : kExtendedNames) checkString(file, entry->extendedString(name));
  return 0;
}
