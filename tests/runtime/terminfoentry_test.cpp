#include "runtime/backends/terminfoentry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "runtime/backends/termcaps.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using krx::TerminfoEntry;

constexpr int kAbsent = -1, kCancelled = -2;

// A compiled entry written as the database's compiler lays it out.
struct EntryBytes {
  bool wideNumbers = false;
  std::string names = "test|a terminal of the tests";
  std::vector<int> flags;                           // 1, 0 or kCancelled
  std::vector<int> numbers;                         // kAbsent and kCancelled as themselves
  std::vector<std::optional<std::string>> strings;  // nullopt: absent
  std::vector<std::string> extendedFlags;           // names, all set
  // Extended strings; a nullopt value is cancelled and left out of the table.
  std::vector<std::pair<std::string, std::optional<std::string>>> extendedStrings;

  std::string bytes() const {
    std::string out;
    auto word = [&out](int v) {
      out += static_cast<char>(v & 0xFF);
      out += static_cast<char>((v >> 8) & 0xFF);
    };
    auto number = [&](int v) {
      word(v);
      if (wideNumbers) word(v < 0 ? -1 : v >> 16);
    };
    auto even = [&out] {
      if (out.size() % 2 != 0) out += '\0';
    };
    std::string table;
    std::vector<int> offsets;
    for (const auto& s : strings) {
      offsets.push_back(s ? static_cast<int>(table.size()) : kAbsent);
      if (s) table += *s + '\0';
    }
    word(wideNumbers ? 01036 : 0432);
    word(static_cast<int>(names.size() + 1));
    word(static_cast<int>(flags.size()));
    word(static_cast<int>(numbers.size()));
    word(static_cast<int>(strings.size()));
    word(static_cast<int>(table.size()));
    out += names + '\0';
    for (int f : flags) out += static_cast<char>(f);
    even();
    for (int n : numbers) number(n);
    for (int o : offsets) word(o);
    out += table;
    if (extendedFlags.empty() && extendedStrings.empty()) return out;

    even();
    std::string values, nameTable;
    std::vector<int> valueOffsets, nameOffsets;
    int stored = 0;
    for (const auto& [name, value] : extendedStrings) {
      valueOffsets.push_back(value ? static_cast<int>(values.size()) : kCancelled);
      if (value) values += *value + '\0', ++stored;
    }
    for (const std::string& name : extendedFlags) {
      nameOffsets.push_back(static_cast<int>(nameTable.size()));
      nameTable += name + '\0';
    }
    for (const auto& [name, value] : extendedStrings) {
      nameOffsets.push_back(static_cast<int>(nameTable.size()));
      nameTable += name + '\0';
    }
    word(static_cast<int>(extendedFlags.size()));
    word(0);
    word(static_cast<int>(extendedStrings.size()));
    word(stored + static_cast<int>(nameOffsets.size()));
    word(static_cast<int>(values.size() + nameTable.size()));
    for (std::size_t i = 0; i < extendedFlags.size(); ++i) out += '\1';
    even();
    for (int o : valueOffsets) word(o);
    for (int o : nameOffsets) word(o);
    return out + values + nameTable;
  }
};

EntryBytes sample(bool wide) {
  EntryBytes e;
  e.wideNumbers = wide;
  e.names = "sampler";  // with its end and the three flags, an odd count: a pad byte follows
  e.flags = {0, 1, kCancelled};
  e.numbers = {80, kAbsent, 24, kCancelled, wide ? 70000 : 256};
  e.strings = {std::nullopt, "\x07", "\r", std::nullopt, std::nullopt, "\x1b[H\x1b[2J"};
  e.extendedFlags = {"AX"};
  e.extendedStrings = {{"kLFT5", "\x1b[1;5D"}, {"kRIT3", std::nullopt}, {"kRIT5", "\x1b[1;5C"}};
  return e;
}

TEST(TerminfoEntry, ReadsBothLayoutsAsTheDatabaseWritesThem) {
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "32-bit numbers" : "16-bit numbers");
    const auto e = TerminfoEntry::parse(sample(wide).bytes());
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->flag(0));
    EXPECT_TRUE(e->flag(1));
    EXPECT_FALSE(e->flag(2));  // cancelled
    EXPECT_FALSE(e->flag(3));  // beyond the entry's flags
    const int numbers[] = {80, -1, 24, -1, wide ? 70000 : 256, -1};
    for (std::size_t i = 0; i < std::size(numbers); ++i) EXPECT_EQ(e->number(i), numbers[i]) << i;
    EXPECT_EQ(e->string(0), nullptr);
    EXPECT_STREQ(e->string(1), "\x07");
    EXPECT_STREQ(e->string(2), "\r");
    EXPECT_STREQ(e->string(5), "\x1b[H\x1b[2J");
    EXPECT_EQ(e->string(6), nullptr);
    EXPECT_STREQ(e->extendedString("kLFT5"), "\x1b[1;5D");
    EXPECT_STREQ(e->extendedString("kRIT5"), "\x1b[1;5C");
    EXPECT_EQ(e->extendedString("kRIT3"), nullptr);  // cancelled
    EXPECT_EQ(e->extendedString("AX"), nullptr);     // a flag, not a string
    EXPECT_EQ(e->extendedString("kUP5"), nullptr);
  }
}

TEST(TerminfoEntry, RefusesWhatIsNoEntryAndKeepsStandardPartOfBrokenExtendedOne) {
  const std::string good = sample(false).bytes();
  std::string badMagic = good;
  badMagic[0] = 'X';
  std::string farOffset = good;
  // Header, names, flags, the pad byte, five numbers, then the offsets: the
  // second string's made to point beyond the table.
  const std::size_t second = 12 + 8 + 3 + 1 + 5 * 2 + 2;
  farOffset[second] = 0x7F;
  farOffset[second + 1] = 0;
  const std::string broken[] = {"", good.substr(0, 11), badMagic, good.substr(0, 40)};
  for (const std::string& bytes : broken) EXPECT_FALSE(TerminfoEntry::parse(bytes));

  const auto far = TerminfoEntry::parse(farOffset);
  ASSERT_TRUE(far);
  EXPECT_EQ(far->string(1), nullptr);
  EXPECT_STREQ(far->string(2), "\r");

  EntryBytes standard = sample(false);
  standard.extendedFlags.clear();
  standard.extendedStrings.clear();
  const std::size_t standardSize = standard.bytes().size();
  const std::size_t extended = standardSize + standardSize % 2;
  const auto cut = TerminfoEntry::parse(good.substr(0, extended + 10 + 4));
  ASSERT_TRUE(cut);
  EXPECT_STREQ(cut->string(5), "\x1b[H\x1b[2J");
  EXPECT_EQ(cut->extendedString("kLFT5"), nullptr);
}

class TerminfoDatabase : public ::testing::Test {
 protected:
  std::string put(const std::string& dir, const std::string& sub, const std::string& name,
                  const std::string& bytes) {
    fs::create_directories(root_ / dir / sub);
    std::ofstream(root_ / dir / sub / name, std::ios::binary) << bytes;
    return (root_ / dir).string();
  }

  TempDir scratch_{"potclock-terminfo"};
  const fs::path& root_ = scratch_.path();
};

TEST_F(TerminfoDatabase, FirstDirectoryHoldingTheEntryWinsUnderEitherFiling) {
  EntryBytes first = sample(false), second = sample(false);
  first.strings[2] = "first";
  second.strings[2] = "second";
  const std::string byHex = put("one", "73", "sampler", first.bytes());
  const std::string byLetter = put("two", "s", "sampler", second.bytes());
  const std::string corrupt = put("zero", "s", "sampler", "not an entry");
  const std::string empty = (root_ / "none").string();

  const auto hexFirst = TerminfoEntry::find("sampler", {empty, corrupt, byHex, byLetter});
  ASSERT_TRUE(hexFirst);
  EXPECT_STREQ(hexFirst->string(2), "first");
  const auto letterFirst = TerminfoEntry::find("sampler", {byLetter, byHex});
  ASSERT_TRUE(letterFirst);
  EXPECT_STREQ(letterFirst->string(2), "second");

  for (const char* name : {"", ".", "..", "s/sampler", "other"})
    EXPECT_FALSE(TerminfoEntry::find(name, {byLetter, (root_ / "two/s").string()})) << name;
}

TEST(TerminfoEntry, SearchesTheUsersPlacesBeforeTheSystems) {
  ScopedEnvironment env;
  env.set("TERMINFO", "/own");
  env.set("HOME", "/home/organiser");
  env.set("TERMINFO_DIRS", "/a::/b");
  const std::vector<std::string> want = {"/own",
                                         "/home/organiser/.terminfo",
                                         "/a",
                                         "/usr/share/terminfo",
                                         "/b",
                                         "/etc/terminfo",
                                         "/lib/terminfo",
                                         "/usr/share/terminfo"};
  EXPECT_EQ(TerminfoEntry::searchPath(), want);

  env.set("TERMINFO", nullptr);
  env.set("HOME", nullptr);
  env.set("TERMINFO_DIRS", nullptr);
  const std::vector<std::string> system = {"/etc/terminfo", "/lib/terminfo", "/usr/share/terminfo"};
  EXPECT_EQ(TerminfoEntry::searchPath(), system);
}

TEST_F(TerminfoDatabase, TerminalCapabilitiesTakeTheSizeFromTheEnvironmentFirst) {
  EntryBytes screen;
  screen.names = "screenish";
  screen.flags = {0, 1, 0, 0, 1};  // am, xenl
  screen.numbers = {132, -1, 43};  // cols, lines
  screen.strings.assign(11, std::nullopt);
  screen.strings[5] = "\x1b[H\x1b[J";
  screen.strings[10] = "\x1b[%i%p1%d;%p2%dH";
  EntryBytes sizeless = screen;
  sizeless.names = "sizeless";
  sizeless.numbers = {};
  EntryBytes generic = screen, printing = screen;
  generic.names = "generic";
  generic.flags = {0, 1, 0, 0, 1, 0, 1};  // gn
  printing.names = "printing";
  printing.flags = {0, 1, 0, 0, 1, 0, 0, 1};  // hc
  for (const EntryBytes* e : {&screen, &sizeless, &generic, &printing})
    put("db", e->names.substr(0, 1), e->names, e->bytes());

  ScopedEnvironment env;
  env.set("TERMINFO", (root_ / "db").c_str());
  env.set("LINES", nullptr);
  env.set("COLUMNS", nullptr);
  const auto caps = krx::TermCaps::load("screenish");
  ASSERT_TRUE(caps);
  EXPECT_EQ(caps->cup, "\x1b[%i%p1%d;%p2%dH");
  EXPECT_EQ(caps->clear, "\x1b[H\x1b[J");
  EXPECT_TRUE(caps->am);
  EXPECT_TRUE(caps->xenl);
  EXPECT_EQ(caps->lines, 43);
  EXPECT_EQ(caps->cols, 132);
  const auto bare = krx::TermCaps::load("sizeless");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->lines, 24);
  EXPECT_EQ(bare->cols, 80);

  env.set("LINES", "50");
  env.set("COLUMNS", "160x");  // not a number: the entry's stands
  const auto sized = krx::TermCaps::load("screenish");
  ASSERT_TRUE(sized);
  EXPECT_EQ(sized->lines, 50);
  EXPECT_EQ(sized->cols, 132);

  EXPECT_FALSE(krx::TermCaps::load("generic"));
  EXPECT_FALSE(krx::TermCaps::load("printing"));
  EXPECT_FALSE(krx::TermCaps::load("missing"));
}

}  // namespace
