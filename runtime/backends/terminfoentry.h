// A terminal's compiled terminfo entry, read from the database directories
// by the program itself.
//
// The terminal library's reader keeps some hundred kilobytes of buffers on
// the stack and a table of capability names on the heap; the pages they
// touch stay with the process, and the timer stays up for hours. Reading
// the few capabilities it needs from the file costs one small buffer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace krx {

class TerminfoEntry {
 public:
  // The entry that the database file `bytes` holds; nullopt when they are
  // not a compiled entry.
  static std::optional<TerminfoEntry> parse(std::string bytes);
  // The entry of terminal type `name` from the first of `directories` that
  // has it, or nullopt.
  static std::optional<TerminfoEntry> find(std::string_view name,
                                           const std::vector<std::string>& directories);
  // Where the database is looked for, in order: $TERMINFO, ~/.terminfo,
  // the parts of $TERMINFO_DIRS (an empty one standing for the system's
  // directory), then the system's places.
  static std::vector<std::string> searchPath();

  // Standard capabilities, by their place in the database's fixed order.
  bool flag(std::size_t index) const;
  int number(std::size_t index) const;  // -1 when absent
  // nullptr when absent or cancelled.
  const char* string(std::size_t index) const;
  // A capability beyond the standard ones, by its name.
  const char* extendedString(std::string_view name) const;

 private:
  explicit TerminfoEntry(std::string bytes) : data_(std::move(bytes)) {}
  std::optional<std::size_t> stringAt(std::size_t table, std::size_t tableSize, int offset) const;
  bool readExtended(std::size_t pos);

  std::string data_;
  std::size_t numberWidth_ = 2;
  std::size_t bools_ = 0, boolCount_ = 0;
  std::size_t numbers_ = 0, numberCount_ = 0;
  std::size_t offsets_ = 0, stringCount_ = 0;
  std::size_t table_ = 0, tableSize_ = 0;
  // The extended strings: where each one's name and value start in data_
  // (no value: npos).
  std::vector<std::pair<std::size_t, std::size_t>> extended_;
};

}  // namespace krx
