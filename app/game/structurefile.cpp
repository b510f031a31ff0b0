#include "app/game/structurefile.h"

#include "app/game/schedule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <optional>

#include "app/game/tomlguard.h"
#include "runtime/console/fdio.h"
#include "runtime/console/screen.h"
#include "runtime/lang/strings.h"

namespace potclock {

namespace {

struct Problem {
  TextPosition at;
  std::string text;
};

TextPosition positionOf(const toml::source_region& region) {
  return {region.begin.line, region.begin.column};
}

// A message as a terminal may print it: a file's text in it (a key, a name)
// never moves the cursor, retitles the window or clears the screen; each
// control character is written as its escape, \u001B.
std::string printable(std::string text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", byte);
    out += escape;
  }
  return out;
}

// Line `n` (from 1) of `text`.
std::string_view lineOf(std::string_view text, std::uint32_t n) {
  for (; n > 1 && !text.empty(); --n) {
    const auto eol = text.find('\n');
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
  }
  return text.substr(0, text.find('\n'));
}

// The parser's words for the common slips of a hand-written file, in the
// file's own terms: what to write instead. `at` may move to where the slip
// begins.
std::string slipOf(std::string_view what, std::string_view line, toml::source_region& at) {
  const auto has = [&](std::string_view words) { return what.find(words) != what.npos; };
  if (has("cannot redefine existing array 'level' as table"))
    return "[level] with one bracket; write [[level]] for each level";
  if (has("cannot redefine existing"))
    return "a key given twice in one level; write [[level]] before each level";
  // 1,000 or 1,500: the separator the parser takes for the value's end.
  for (std::size_t i = 1; i + 3 < line.size(); ++i) {
    const auto digit = [&](std::size_t k) { return line[k] >= '0' && line[k] <= '9'; };
    if (line[i] == ',' && digit(i - 1) && digit(i + 1) && digit(i + 2) && digit(i + 3) &&
        (has("leading zeroes") || has("saw ','")))
      return "a number with a thousands separator; write 1000 without a thousands separator";
  }
  // A value that begins with a letter: text without its quotes.
  const std::size_t equals = line.find('=');
  const std::size_t value = line.find_first_not_of(" \t", equals + 1);
  if (equals != line.npos && value != line.npos &&
      ((line[value] >= 'a' && line[value] <= 'z') || (line[value] >= 'A' && line[value] <= 'Z')) &&
      (has("determine value type") || has("parsing boolean") || has("parsing floating-point"))) {
    at.begin.column = static_cast<toml::source_index>(value + 1);
    return "text without quotes; put the text in straight double quotes";
  }
  std::string words(what);
  // "Error while parsing ..." reads as the rest of the message.
  if (words.starts_with("Error ")) words[0] = 'e';
  return "not valid TOML: " + words;
}

class Problems {
 public:
  // Places the parser gives are in `parsed`, and are reported as in the file.
  explicit Problems(const GuardedToml& parsed) : parsed_(parsed) {}

  void add(const toml::source_region& at, std::string text) {
    list_.push_back({parsed_.inFile(positionOf(at)), std::move(text)});
  }
  bool empty() const { return list_.empty(); }

  // toml++ keeps a table's keys sorted by name, so problems are found out of
  // file order; the reader wants them in the order of the lines.
  std::vector<std::string> report(std::string_view fileName) {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const Problem& a, const Problem& b) { return a.at < b.at; });
    std::vector<std::string> lines;
    for (const Problem& p : list_) {
      if (lines.size() == kMaxProblems) break;
      lines.push_back(printable(std::string(fileName) + ":" + std::to_string(p.at.line) + ":" +
                                std::to_string(p.at.column) + ": " + p.text));
    }
    if (list_.size() > kMaxProblems) {
      const std::size_t more = list_.size() - kMaxProblems;
      lines.push_back(printable(std::string(fileName)) + ": " + std::to_string(more) +
                      " more problem" + (more == 1 ? "" : "s") + " not shown");
    }
    return lines;
  }

 private:
  const GuardedToml& parsed_;
  std::vector<Problem> list_;
};

// What a value is, in the words of a message: "minutes is <this>".
std::string whatItIs(const toml::node& n) {
  switch (n.type()) {
    case toml::node_type::integer:
      return std::to_string(n.as_integer()->get());
    case toml::node_type::floating_point:
      return "a decimal number";
    case toml::node_type::string:
      return "text";
    case toml::node_type::boolean:
      return n.as_boolean()->get() ? "true" : "false";
    case toml::node_type::array:
      return "a list";
    case toml::node_type::table:
      return "a table";
    case toml::node_type::date:
      return "a date";
    case toml::node_type::time:
      return "a time";
    case toml::node_type::date_time:
      return "a date and time";
    default:
      return "empty";
  }
}

std::optional<long> wholeNumber(const toml::node& n, std::string_view subject, long low, long high,
                                Problems& problems) {
  const auto* value = n.as_integer();
  if (value && value->get() >= low && value->get() <= high) return static_cast<long>(value->get());
  problems.add(n.source(), std::string(subject) + " is " + whatItIs(n) +
                               "; expected a whole number from " + chipsText(low) + " to " +
                               chipsText(high));
  return std::nullopt;
}

std::optional<int> length(const toml::node& n, std::string_view subject, Problems& problems) {
  const auto value = wholeNumber(n, subject, 1, kMaxLength, problems);
  return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

// A character the screen shows as itself: no control character, and one the
// code page has a place for above its control range (which the console would
// not print).
bool showable(char32_t c) {
  if (c < 0x20 || c == 0x7F) return false;
  if (c < 0x7F) return true;
  std::string utf8;
  krx::appendUtf8(utf8, c);
  return static_cast<unsigned char>(krx::utf8ToCp437(utf8)[0]) >= 0x80;
}

std::optional<std::string> shortText(const toml::node& n, std::string_view subject,
                                     Problems& problems) {
  const auto* value = n.as_string();
  if (!value) {
    problems.add(n.source(),
                 std::string(subject) + " is " + whatItIs(n) + "; expected text in quotes");
    return std::nullopt;
  }
  // toml++ has already refused text that is not UTF-8.
  const std::string& text = value->get();
  std::size_t characters = 0;
  for (std::size_t at = 0; at < text.size(); ++characters) {
    const char32_t c = krx::decodeUtf8(text, at);
    if (!showable(c)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      problems.add(n.source(), std::string(subject) + " has a character that cannot be shown (" +
                                   code + "); expected printable text");
      return std::nullopt;
    }
  }
  if (characters > kMaxTextLength) {
    problems.add(n.source(), std::string(subject) + " is " + std::to_string(characters) +
                                 " characters long; expected at most " +
                                 std::to_string(kMaxTextLength));
    return std::nullopt;
  }
  return text;
}

struct Defaults {
  bool hands = false;
  bool lengthGiven = false;  // written at the top, valid or not
  int length = 0;            // 0 when not written or not valid
};

void readBlinds(const toml::node& n, Entry& entry, Problems& problems) {
  const auto* pair = n.as_array();
  if (!pair || pair->size() != 2) {
    const std::string found =
        pair ? std::to_string(pair->size()) + " value" + (pair->size() == 1 ? "" : "s")
             : whatItIs(n);
    problems.add(n.source(), (pair ? "blinds has " : "blinds is ") + found +
                                 "; expected [small, big], two whole numbers");
    return;
  }
  const auto small = wholeNumber(*pair->get(0), "small blind", 1, kMaxChips, problems);
  const auto big = wholeNumber(*pair->get(1), "big blind", 1, kMaxChips, problems);
  if (!small || !big) return;
  if (*small > *big) {
    problems.add(n.source(), "small blind " + chipsText(*small) + " is more than big blind " +
                                 chipsText(*big) + "; expected small at most big");
    return;
  }
  entry.small = *small;
  entry.big = *big;
}

// Whatever is wrong goes to `problems`; the entry counts only when there is
// nothing wrong anywhere in the file.
Entry readEntry(const toml::table& table, const Defaults& defaults, Problems& problems) {
  Entry entry;
  entry.isBreak = table.contains("break");
  const std::string counted = defaults.hands ? "hands" : "minutes";
  const std::string other = defaults.hands ? "minutes" : "hands";
  bool ownLength = false;
  for (auto&& [key, node] : table) {
    const std::string k(key.str());
    // Named apart from the binding: clang before 16 cannot capture a binding.
    const toml::source_region& where = key.source();
    const auto refuse = [&](const std::string& text) { problems.add(where, text); };
    if (entry.isBreak) {
      if (k == "break")
        entry.length = length(node, "break", problems).value_or(0);
      else if (k == "note")
        entry.note = shortText(node, "note", problems).value_or("");
      else if (k == "blinds" || k == "ante" || k == "minutes" || k == "hands")
        refuse("a break has no " + k + "; expected only break = MINUTES and note");
      else
        refuse("unknown key '" + k + "' in a break; expected break or note");
    } else if (k == "blinds") {
      readBlinds(node, entry, problems);
    } else if (k == "ante") {
      entry.ante = wholeNumber(node, "ante", 0, kMaxChips, problems).value_or(0);
    } else if (k == counted) {
      entry.length = length(node, counted, problems).value_or(0);
      ownLength = true;
    } else if (k == other) {
      refuse("this structure counts " + counted + ", not " + other +
             (defaults.hands ? "; expected hands = N"
                             : "; expected minutes = N (or hands = N at the top to count hands)"));
    } else if (k == "note") {
      refuse("a level has no note; expected a note only in a break");
    } else {
      refuse("unknown key '" + k + "' in a level; expected blinds, ante or " + counted);
    }
  }
  if (entry.isBreak) return entry;
  if (!table.contains("blinds"))
    problems.add(table.source(),
                 "a level without blinds; expected blinds = [small, big] or break = MINUTES");
  if (!ownLength) {
    entry.length = defaults.length;
    if (!defaults.lengthGiven)
      problems.add(table.source(),
                   "a level without a length; expected minutes = N in it or at the top");
  }
  return entry;
}

// [chips, price] of a rebuy or an add-on.
void readPair(const toml::node& n, std::string_view key, long& chips, long& price,
              Problems& problems) {
  const auto* pair = n.as_array();
  if (!pair || pair->size() != 2) {
    problems.add(n.source(), std::string(key) + " is " + whatItIs(n) +
                                 "; expected [chips, price], two whole numbers");
    return;
  }
  const auto c = wholeNumber(*pair->get(0), std::string(key) + " chips", 1, kMaxChips, problems);
  const auto p = wholeNumber(*pair->get(1), std::string(key) + " price", 0, kMaxChips, problems);
  if (c && p) chips = *c, price = *p;
}

// A place's share in hundredths of a percent: a whole or a decimal number of
// percent with at most two decimals.
std::optional<int> share(const toml::node& n, Problems& problems) {
  const auto refuse = [&](const std::string& found) {
    problems.add(n.source(), "a payout is " + found +
                                 "; expected a percentage above 0 and at most "
                                 "100, with at most two decimals");
    return std::nullopt;
  };
  double percent = 0;
  if (const auto* whole = n.as_integer())
    percent = static_cast<double>(whole->get());
  else if (const auto* decimal = n.as_floating_point())
    percent = decimal->get();
  else
    return refuse(whatItIs(n));
  // Not a number fails both; the maths library is one more shared library
  // for the program to carry, so the rounding is done by hand.
  if (!(percent > 0 && percent <= 100))
    return refuse(n.is_integer() ? whatItIs(n) : "out of range");
  const double hundredths = percent * 100;
  const int rounded = static_cast<int>(hundredths + 0.5);
  const double off = hundredths - rounded;
  if (rounded == 0 || off > 1e-6 || off < -1e-6) return refuse("a percentage with more decimals");
  return rounded;
}

void readPayouts(const toml::node& n, NumbersRules& rules, Problems& problems) {
  const auto* list = n.as_array();
  if (!list || list->empty() || list->size() > kMaxPlaces) {
    problems.add(n.source(), "payouts is " +
                                 (list ? std::to_string(list->size()) + " places" : whatItIs(n)) +
                                 "; expected [first, second, ...], 1 to " +
                                 std::to_string(kMaxPlaces) + " percentages");
    return;
  }
  std::vector<int> shares;
  for (const toml::node& place : *list) {
    const auto s = share(place, problems);
    if (!s) return;
    if (!shares.empty() && *s > shares.back()) {
      problems.add(place.source(), "place " + std::to_string(shares.size() + 1) + " has " +
                                       shareText(*s) + " %, more than the place before it; " +
                                       "expected each place at most the one before");
      return;
    }
    shares.push_back(*s);
  }
  const int total = std::accumulate(shares.begin(), shares.end(), 0);
  if (total != kWholePool) {
    problems.add(n.source(), "payouts add up to " + shareText(total) + " %; expected 100 %");
    return;
  }
  rules.payouts = std::move(shares);
}

// The [tournament] table; `levels` is the structure's number of levels, the
// last one late registration can end with.
std::optional<NumbersRules> readTournament(const toml::node& n, int levels, Problems& problems) {
  const toml::table* table = n.as_table();
  if (!table) {
    problems.add(n.source(), "tournament is " + whatItIs(n) + "; expected a [tournament] table");
    return std::nullopt;
  }
  NumbersRules rules;
  for (auto&& [key, node] : *table) {
    const std::string k(key.str());
    // Named apart from the binding: clang before 16 cannot capture a binding.
    const toml::node& value = node;
    const auto number = [&](long low, long high) {
      return wholeNumber(value, k, low, high, problems).value_or(0);
    };
    if (k == "chips") {
      rules.chips = number(1, kMaxChips);
    } else if (k == "buy-in") {
      rules.buyIn = number(0, kMaxChips);
    } else if (k == "rebuy") {
      readPair(node, k, rules.rebuyChips, rules.rebuyPrice, problems);
    } else if (k == "add-on") {
      readPair(node, k, rules.addonChips, rules.addonPrice, problems);
    } else if (k == "guarantee") {
      rules.guarantee = number(0, kMaxChips);
    } else if (k == "payouts") {
      readPayouts(node, rules, problems);
    } else if (k == "late-registration") {
      if (levels > 0) rules.lateRegistration = static_cast<int>(number(1, levels));
    } else if (k == "entries") {
      rules.entries = static_cast<int>(number(0, kMaxCount));
    } else {
      problems.add(key.source(), "unknown key '" + k +
                                     "' in [tournament]; expected chips, buy-in, rebuy, add-on, "
                                     "guarantee, payouts, late-registration or entries");
    }
  }
  if (!table->contains("chips"))
    problems.add(n.source(), "[tournament] without chips; expected chips = N, an entry's stack");
  return rules;
}

// The [warnings] table: each warning on or off, over `w`.
void readWarnings(const toml::node& n, Warnings& w, Problems& problems) {
  const toml::table* table = n.as_table();
  if (!table) {
    problems.add(n.source(), "warnings is " + whatItIs(n) + "; expected a [warnings] table");
    return;
  }
  for (auto&& [key, node] : *table) {
    const std::string k(key.str());
    bool* flag = k == "minute"              ? &w.minute
                 : k == "break"             ? &w.breakAhead
                 : k == "late-registration" ? &w.lateRegistration
                                            : nullptr;
    if (!flag) {
      problems.add(
          key.source(),
          "unknown key '" + k + "' in [warnings]; expected minute, break or late-registration");
    } else if (const auto* on = node.as_boolean()) {
      *flag = on->get();
    } else {
      problems.add(node.source(), k + " is " + whatItIs(node) + "; expected true or false");
    }
  }
}

}  // namespace

StructureRead parseStructure(std::string_view text, std::string_view fileName) {
  const GuardedToml guarded = guardToml(text);
  toml::parse_result parsed = toml::parse(std::string_view(guarded.text), fileName);
  Problems problems(guarded);
  // The text given to the parser ends before a stray character; where it
  // goes wrong before that, the parser's problem comes first.
  if (guarded.stray && (parsed || !(positionOf(parsed.error().source()) < guarded.stray->at))) {
    problems.add(toml::source_region{{guarded.stray->at.line, guarded.stray->at.column}, {}, {}},
                 guarded.stray->problem);
    return problems.report(fileName);
  }
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    toml::source_region at = error.source();
    problems.add(at, slipOf(error.description(), lineOf(guarded.text, at.begin.line), at));
    return problems.report(fileName);
  }
  const toml::table& top = parsed.table();
  Structure t;
  Defaults defaults;
  const toml::node* minutes = top.get("minutes");
  const toml::node* hands = top.get("hands");
  defaults.hands = hands != nullptr;
  if (minutes && hands) {
    const auto at = [](const toml::node* n) {
      return std::pair(n->source().begin.line, n->source().begin.column);
    };
    const toml::node& later = at(minutes) > at(hands) ? *minutes : *hands;
    problems.add(later.source(), "both minutes and hands at the top; expected one of them");
  }
  if (const toml::node* given = defaults.hands ? hands : minutes) {
    defaults.lengthGiven = true;
    defaults.length = length(*given, defaults.hands ? "hands" : "minutes", problems).value_or(0);
  }
  const toml::array* levels = nullptr;
  const toml::node* tournament = nullptr;
  const toml::node* warnings = nullptr;
  for (auto&& [key, node] : top) {
    const std::string_view k = key.str();
    if (k == "name") {
      t.name = shortText(node, "name", problems).value_or("");
    } else if (k == "level") {
      levels = node.as_array();
      if (!levels || !levels->is_array_of_tables()) {
        problems.add(node.source(),
                     "level is " + whatItIs(node) + "; expected [[level]] entries (two brackets)");
        levels = nullptr;
      }
    } else if (k == "tournament") {
      tournament = &node;
    } else if (k == "warnings") {
      warnings = &node;
    } else if (k == "start") {
      const auto* given = node.as_string();
      t.startMinute = given ? timeOfDay(given->get()) : std::nullopt;
      if (!t.startMinute)
        problems.add(node.source(), "start is " + whatItIs(node) +
                                        "; expected a time of day in quotes, as start = \"19:30\"");
    } else if (k != "minutes" && k != "hands") {
      problems.add(key.source(),
                   "unknown key '" + std::string(k) +
                       "'; expected name, minutes, hands, start, [tournament], [warnings] or "
                       "[[level]]");
    }
  }
  t.hands = defaults.hands;
  if (!levels && !top.contains("level")) {
    problems.add(toml::source_region{{1, 1}, {1, 1}, {}},
                 "no levels; expected at least one [[level]]");
  }
  if (levels) {
    for (std::size_t i = 0; i < levels->size(); ++i) {
      const toml::table& table = *levels->get(i)->as_table();
      if (i == static_cast<std::size_t>(kMaxEntries)) {
        problems.add(table.source(), std::to_string(levels->size()) +
                                         " entries; expected at most " +
                                         std::to_string(kMaxEntries));
      }
      t.entries.push_back(readEntry(table, defaults, problems));
    }
  }
  if (tournament) {
    const int levelCount =
        levels ? static_cast<int>(std::count_if(t.entries.begin(), t.entries.end(),
                                                [](const Entry& e) { return !e.isBreak; }))
               : 0;
    t.numbers = readTournament(*tournament, levelCount, problems);
  }
  // Warned of by default where the director keeps the numbers.
  const bool warn = t.numbers.has_value();
  t.warnings = {warn, warn, warn};
  if (warnings) readWarnings(*warnings, t.warnings, problems);
  if (!problems.empty()) return problems.report(fileName);
  return t;
}

StructureRead readStructureFile(const std::filesystem::path& file) {
  const std::string name = file.string();
  const auto cannot = [&](std::string_view reason) {
    return std::vector<std::string>{name + ": cannot read: " + std::string(reason)};
  };
  // Without O_NONBLOCK a FIFO with no writer would hold the program at open.
  const krx::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) return cannot(std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return cannot(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return cannot("it is a directory");
  if (!S_ISREG(st.st_mode)) return cannot("not a regular file");
  const auto tooLarge = [&] { return cannot("larger than 1 MiB"); };
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxStructureFileSize) return tooLarge();
  // The size can change while it is read: read one byte past the limit to see.
  std::string text;
  if (!krx::readUpTo(fd.get(), text, kMaxStructureFileSize + 1))
    return cannot(std::strerror(errno));
  if (text.size() > kMaxStructureFileSize) return tooLarge();
  return parseStructure(text, name);
}

namespace {

std::string tomlString(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// The [tournament] table as the file writes it; only what differs from an
// absent key.
std::string tournamentTable(const NumbersRules& r) {
  const auto pair = [](long chips, long price) {
    return "[" + std::to_string(chips) + ", " + std::to_string(price) + "]";
  };
  std::string out = "\n[tournament]\nchips = " + std::to_string(r.chips) + "\n";
  if (r.buyIn != 0) out += "buy-in = " + std::to_string(r.buyIn) + "\n";
  if (r.rebuyChips != 0) out += "rebuy = " + pair(r.rebuyChips, r.rebuyPrice) + "\n";
  if (r.addonChips != 0) out += "add-on = " + pair(r.addonChips, r.addonPrice) + "\n";
  if (r.guarantee != 0) out += "guarantee = " + std::to_string(r.guarantee) + "\n";
  if (!r.payouts.empty()) {
    out += "payouts = [";
    for (std::size_t i = 0; i < r.payouts.size(); ++i)
      out += (i == 0 ? "" : ", ") + shareText(r.payouts[i]);
    out += "]\n";
  }
  if (r.lateRegistration != 0)
    out += "late-registration = " + std::to_string(r.lateRegistration) + "\n";
  if (r.entries != 0) out += "entries = " + std::to_string(r.entries) + "\n";
  return out;
}

}  // namespace

std::string formatStructure(const Structure& t, std::string_view comment) {
  std::string out;
  for (std::size_t start = 0; start <= comment.size();) {
    std::size_t end = comment.find('\n', start);
    if (end == std::string_view::npos) end = comment.size();
    const std::string_view line = comment.substr(start, end - start);
    out += line.empty() ? "#\n" : "# " + std::string(line) + "\n";
    start = end + 1;
  }
  out += "\n";
  if (!t.name.empty()) out += "name = " + tomlString(t.name) + "\n";
  // The commonest level length goes at the top, so that only the exceptions
  // repeat it.
  std::vector<int> lengths;
  for (const Entry& e : t.entries)
    if (!e.isBreak) lengths.push_back(e.length);
  int common = 0;
  std::size_t commonCount = 0;
  for (int candidate : lengths) {
    const auto count =
        static_cast<std::size_t>(std::count(lengths.begin(), lengths.end(), candidate));
    if (count > commonCount) common = candidate, commonCount = count;
  }
  const std::string unit = t.hands ? "hands" : "minutes";
  // A hands structure says so at the top even with no level to take it.
  if (common != 0 || t.hands) out += unit + " = " + std::to_string(common != 0 ? common : 1) + "\n";
  if (t.numbers) out += tournamentTable(*t.numbers);
  // Only the warnings set apart from what the table implies.
  const bool warn = t.numbers.has_value();
  if (t.warnings != Warnings{warn, warn, warn}) {
    const auto flag = [](bool on) { return on ? "true\n" : "false\n"; };
    out += "\n[warnings]\nminute = " + std::string(flag(t.warnings.minute)) +
           "break = " + flag(t.warnings.breakAhead) +
           "late-registration = " + flag(t.warnings.lateRegistration);
  }
  for (const Entry& e : t.entries) {
    out += "\n[[level]]\n";
    if (e.isBreak) {
      out += "break = " + std::to_string(e.length) + "\n";
      if (!e.note.empty()) out += "note = " + tomlString(e.note) + "\n";
      continue;
    }
    out += "blinds = [" + std::to_string(e.small) + ", " + std::to_string(e.big) + "]\n";
    if (e.ante != 0) out += "ante = " + std::to_string(e.ante) + "\n";
    if (e.length != common) out += unit + " = " + std::to_string(e.length) + "\n";
  }
  return out;
}

namespace {

// The local day of `when`, as a day number, to tell how many midnights lie
// between two local times.
long localDay(std::time_t when, std::tm& tm) {
  localtime_r(&when, &tm);
  return krx::makeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday).julian;
}

// "21:05", or "00:50 +1 day" past the start's midnight.
std::string clockAt(std::time_t start, long minutes) {
  std::tm startTm{}, tm{};
  const long startDay = localDay(start, startTm);
  const long days = localDay(start + static_cast<std::time_t>(minutes) * 60, tm) - startDay;
  char text[40];
  std::snprintf(text, sizeof text, "%02d:%02d", tm.tm_hour, tm.tm_min);
  std::string shown = text;
  if (days > 0) shown += " +" + std::to_string(days) + (days == 1 ? " day" : " days");
  return shown;
}

std::string duration(long minutes) {
  if (minutes < 60) return std::to_string(minutes) + " min";
  std::string text = std::to_string(minutes / 60) + " h";
  if (minutes % 60 != 0) text += " " + std::to_string(minutes % 60) + " min";
  return text;
}

std::string counted(std::size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what) + (n == 1 ? "" : "s");
}

// Every character a file may hold takes one column, but up to three bytes.
std::size_t columns(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padRight(std::string text, std::size_t width) {
  const std::size_t used = columns(text);
  if (used < width) text.append(width - used, ' ');
  return text;
}

std::string padLeft(std::string text, std::size_t width) {
  const std::size_t used = columns(text);
  if (used < width) text.insert(0, width - used, ' ');
  return text;
}

// The [tournament] table in a sentence, wrapped to the table's width.
std::string tournamentSummary(const NumbersRules& r) {
  std::string text = "Tournament: " + chipsText(r.chips) + " chips an entry";
  if (r.buyIn != 0) text += " for " + chipsText(r.buyIn);
  if (r.rebuyChips != 0)
    text += "; rebuys of " + chipsText(r.rebuyChips) + " for " + chipsText(r.rebuyPrice);
  if (r.addonChips != 0)
    text += "; an add-on of " + chipsText(r.addonChips) + " for " + chipsText(r.addonPrice);
  if (r.lateRegistration != 0)
    text += "; entries" + std::string(r.rebuyChips != 0 ? " and rebuys" : "") + " until level " +
            std::to_string(r.lateRegistration) + " ends";
  if (r.guarantee != 0) text += "; " + chipsText(r.guarantee) + " guaranteed";
  if (r.entries != 0) text += "; " + chipsText(r.entries) + " entries at the start";
  if (r.payouts.empty()) {
    text += "; the usual payouts for the number of entries";
  } else {
    text += "; payouts";
    for (std::size_t i = 0; i < r.payouts.size(); ++i)
      text += (i == 0 ? " " : ", ") + shareText(r.payouts[i]);
    text += " %";
  }
  text += ".";
  constexpr std::size_t kWidth = 78;
  std::string out;
  while (text.size() > kWidth) {
    std::size_t cut = text.rfind(' ', kWidth);
    if (cut == std::string::npos || cut == 0) cut = kWidth;
    out += text.substr(0, cut) + "\n";
    text.erase(0, text[cut] == ' ' ? cut + 1 : cut);
  }
  return out + text + "\n";
}

}  // namespace

std::string scheduleTable(const Structure& t, std::time_t now) {
  struct Row {
    std::string number, blinds, ante, length, start;
  };
  std::vector<Row> rows;
  long minutes = 0, hands = 0, breakMinutes = 0;
  std::size_t levels = 0, breaks = 0;
  bool known = true, dashes = false;
  std::size_t blindsWidth = 6, anteWidth = 4, noteWidth = 0, lengthWidth = 6;
  for (std::size_t i = 0; i < t.entries.size(); ++i) {
    const Entry& e = t.entries[i];
    Row row;
    row.start = known ? clockAt(now, minutes) : "-";
    dashes = dashes || !known;
    if (e.isBreak) {
      ++breaks;
      breakMinutes += e.length;
      minutes += e.length;
      row.blinds = e.note;  // stands in the blinds and ante columns
      row.length = std::to_string(e.length) + " min break";
      noteWidth = std::max(noteWidth, columns(e.note));
    } else {
      ++levels;
      row.number = std::to_string(levelNumber(t, i));
      row.blinds = chipsText(e.small) + "/" + chipsText(e.big);
      if (e.ante != 0) row.ante = chipsText(e.ante);
      if (t.hands) {
        hands += e.length;
        row.length = counted(static_cast<std::size_t>(e.length), "hand");
        // How long a hand takes is up to the table.
        known = false;
      } else {
        minutes += e.length;
        row.length = std::to_string(e.length) + " min";
      }
      blindsWidth = std::max(blindsWidth, row.blinds.size());
      anteWidth = std::max(anteWidth, row.ante.size());
    }
    lengthWidth = std::max(lengthWidth, row.length.size());
    rows.push_back(std::move(row));
  }
  if (noteWidth > blindsWidth + 2 + anteWidth) blindsWidth = noteWidth - 2 - anteWidth;

  const auto line = [&](const Row& r, bool isBreak) {
    std::string text = padLeft(r.number, 5) + "  ";
    if (isBreak)
      text += padRight(r.blinds, blindsWidth + 2 + anteWidth);
    else
      text += padRight(r.blinds, blindsWidth) + "  " + padLeft(r.ante, anteWidth);
    text += "  " + padRight(r.length, lengthWidth) + "  " + r.start;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::string out = (t.name.empty() ? std::string("Structure without a name") : t.name) + "\n\n";
  out += line({"Level", "Blinds", "Ante", "Length", "Start"}, false);
  for (std::size_t i = 0; i < rows.size(); ++i) out += line(rows[i], t.entries[i].isBreak);
  out += "\nTotal: ";
  const std::string breakPart = breaks == 0 ? "" : " and " + counted(breaks, "break");
  if (t.hands) {
    out += counted(static_cast<std::size_t>(hands), "hand") + " in " + counted(levels, "level");
    if (breaks != 0) out += ", and " + duration(breakMinutes) + " in " + counted(breaks, "break");
    out += "\n";
    if (dashes) out += "A start shown as - depends on how fast the hands are played.\n";
  } else {
    out += duration(minutes) + " in " + counted(levels, "level") + breakPart + ", ending at " +
           clockAt(now, minutes) + "\n";
  }
  if (t.numbers) out += "\n" + tournamentSummary(*t.numbers);
  return out;
}

}  // namespace potclock
