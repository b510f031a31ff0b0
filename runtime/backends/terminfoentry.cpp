#include "runtime/backends/terminfoentry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/console/fdio.h"

namespace krx {

namespace {

// The two layouts of a compiled entry: numbers of 16 bits, and the newer
// one with numbers of 32 bits (terminals with more than 32767 colour pairs).
constexpr int kMagic16 = 0432;
constexpr int kMagic32 = 01036;
// Entries are a few kilobytes; a bigger file is not one.
constexpr off_t kLargestEntry = 64 * 1024;
constexpr std::string_view kSystemDirectory = "/usr/share/terminfo";
constexpr std::string_view kSystemDirectories = "/etc/terminfo:/lib/terminfo:/usr/share/terminfo";

// A little-endian signed 16-bit word of the file.
int wordAt(const std::string& d, std::size_t at) {
  return static_cast<std::int16_t>(static_cast<std::uint8_t>(d[at]) |
                                   static_cast<std::uint8_t>(d[at + 1]) << 8);
}

// The directories of a colon-separated list; an empty one is the system's.
void appendDirectories(std::vector<std::string>& dirs, std::string_view list) {
  for (;;) {
    const std::size_t colon = list.find(':');
    const std::string_view part = list.substr(0, colon);
    dirs.emplace_back(part.empty() ? kSystemDirectory : part);
    if (colon == std::string_view::npos) return;
    list.remove_prefix(colon + 1);
  }
}

std::optional<std::string> readFile(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestEntry)
    return std::nullopt;
  // Read straight into its place: a buffer on the stack would stay with the
  // process as pages of stack for good.
  std::string data(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = readRetrying(fd.get(), data.data() + got, data.size() - got);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return data;
}

}  // namespace

std::optional<TerminfoEntry> TerminfoEntry::parse(std::string bytes) {
  TerminfoEntry e(std::move(bytes));
  const std::string& d = e.data_;
  auto word = [&d](std::size_t at) { return wordAt(d, at); };
  if (d.size() < 12) return std::nullopt;
  const int magic = word(0);
  if (magic != kMagic16 && magic != kMagic32) return std::nullopt;
  e.numberWidth_ = magic == kMagic32 ? 4 : 2;
  const int names = word(2), bools = word(4), numbers = word(6), strings = word(8),
            table = word(10);
  if (names < 0 || bools < 0 || numbers < 0 || strings < 0 || table < 0) return std::nullopt;

  std::size_t pos = 12 + static_cast<std::size_t>(names);
  e.bools_ = pos;
  e.boolCount_ = static_cast<std::size_t>(bools);
  pos += e.boolCount_;
  pos += pos % 2;  // numbers start on an even byte
  e.numbers_ = pos;
  e.numberCount_ = static_cast<std::size_t>(numbers);
  pos += e.numberCount_ * e.numberWidth_;
  e.offsets_ = pos;
  e.stringCount_ = static_cast<std::size_t>(strings);
  pos += 2 * e.stringCount_;
  e.table_ = pos;
  e.tableSize_ = static_cast<std::size_t>(table);
  pos += e.tableSize_;
  if (pos > d.size()) return std::nullopt;
  // An extended part that does not hold together is left out, as if the
  // entry had none: the standard capabilities are still good.
  if (!e.readExtended(pos + pos % 2)) e.extended_.clear();
  return e;
}

// The extended part: its counts, flags, numbers, the offsets of its string
// values and then of all its names (flags', numbers', strings'), and one
// table holding the values followed by the names.
bool TerminfoEntry::readExtended(std::size_t pos) {
  const std::string& d = data_;
  auto word = [&d](std::size_t at) { return wordAt(d, at); };
  if (pos + 10 > d.size()) return true;  // none
  // The fourth word counts the strings the table holds, which leaves out
  // cancelled values: the offsets are laid out by the other counts.
  const int bools = word(pos), numbers = word(pos + 2), strings = word(pos + 4),
            size = word(pos + 8);
  if (bools < 0 || numbers < 0 || strings < 0 || size < 0) return false;
  const auto nameCount = static_cast<std::size_t>(bools + numbers + strings);
  pos += 10 + static_cast<std::size_t>(bools);
  pos += pos % 2;
  pos += static_cast<std::size_t>(numbers) * numberWidth_;
  const std::size_t valueOffsets = pos;
  const std::size_t nameOffsets = valueOffsets + 2 * static_cast<std::size_t>(strings);
  const std::size_t table = nameOffsets + 2 * nameCount;
  const auto tableSize = static_cast<std::size_t>(size);
  if (table + tableSize > d.size()) return false;

  // The names begin where the last value ends.
  std::size_t namesAt = 0;
  std::vector<std::size_t> values;
  for (int i = 0; i < strings; ++i) {
    const auto at =
        stringAt(table, tableSize, word(valueOffsets + 2 * static_cast<std::size_t>(i)));
    values.push_back(at.value_or(std::string::npos));
    if (at) namesAt = std::max(namesAt, *at - table + std::strlen(d.data() + *at) + 1);
  }
  for (int i = 0; i < strings; ++i) {
    const std::size_t slot = static_cast<std::size_t>(bools + numbers + i);
    const auto name = stringAt(table + namesAt, tableSize - namesAt, word(nameOffsets + 2 * slot));
    if (!name) return false;
    extended_.emplace_back(*name, values[static_cast<std::size_t>(i)]);
  }
  return true;
}

// Where the string at `offset` in a table starts, when it is one that ends
// inside the table.
std::optional<std::size_t> TerminfoEntry::stringAt(std::size_t table, std::size_t tableSize,
                                                   int offset) const {
  if (offset < 0 || static_cast<std::size_t>(offset) >= tableSize) return std::nullopt;
  const std::size_t at = table + static_cast<std::size_t>(offset);
  if (std::memchr(data_.data() + at, '\0', tableSize - static_cast<std::size_t>(offset)) == nullptr)
    return std::nullopt;
  return at;
}

bool TerminfoEntry::flag(std::size_t index) const {
  if (index >= boolCount_) return false;
  // Set is 1; absent 0 and cancelled -2 are not.
  return static_cast<signed char>(data_[bools_ + index]) > 0;
}

int TerminfoEntry::number(std::size_t index) const {
  if (index >= numberCount_) return -1;
  const std::size_t at = numbers_ + index * numberWidth_;
  std::uint32_t value = 0;
  for (std::size_t i = numberWidth_; i-- > 0;)
    value = value << 8 | static_cast<std::uint8_t>(data_[at + i]);
  const std::int32_t n =
      numberWidth_ == 2 ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
  return n < 0 ? -1 : static_cast<int>(n);
}

const char* TerminfoEntry::string(std::size_t index) const {
  if (index >= stringCount_) return nullptr;
  const std::size_t at = offsets_ + 2 * index;
  const auto start = stringAt(table_, tableSize_, wordAt(data_, at));
  return start ? data_.data() + *start : nullptr;
}

const char* TerminfoEntry::extendedString(std::string_view name) const {
  for (const auto& [nameAt, valueAt] : extended_)
    if (name == data_.data() + nameAt)
      return valueAt == std::string::npos ? nullptr : data_.data() + valueAt;
  return nullptr;
}

std::optional<TerminfoEntry> TerminfoEntry::find(std::string_view name,
                                                 const std::vector<std::string>& directories) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
    return std::nullopt;
  // Entries are filed under their first letter, or under its code in hex
  // where the file system folds case.
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(name[0]));
  for (const std::string& dir : directories) {
    for (const std::string& sub : {std::string(1, name[0]), std::string(hex)}) {
      std::optional<std::string> bytes = readFile(dir + "/" + sub + "/" + std::string(name));
      if (!bytes) continue;
      if (auto entry = parse(std::move(*bytes))) return entry;
    }
  }
  return std::nullopt;
}

std::vector<std::string> TerminfoEntry::searchPath() {
  std::vector<std::string> dirs;
  if (const char* own = std::getenv("TERMINFO"); own != nullptr && *own != '\0')
    dirs.emplace_back(own);
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    dirs.push_back(std::string(home) + "/.terminfo");
  if (const char* list = std::getenv("TERMINFO_DIRS"); list != nullptr && *list != '\0')
    appendDirectories(dirs, list);
  appendDirectories(dirs, kSystemDirectories);
  return dirs;
}

}  // namespace krx
