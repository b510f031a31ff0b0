#include "app/game/command.h"

#include <charconv>
#include <optional>

namespace potclock {

namespace {

std::optional<long> wholeNumber(std::string_view text) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < 0) return std::nullopt;
  return value;
}

// "12:30" or "1:02:30" (the seconds and minutes after a colon two digits,
// below 60), or units one after another: "5m", "30s", "1m30s", "2h".
std::optional<long> duration(std::string_view text) {
  if (text.find(':') != std::string_view::npos) {
    long total = 0;
    bool first = true;
    while (!text.empty()) {
      const auto colon = text.find(':');
      const std::string_view part = text.substr(0, colon);
      const auto n = wholeNumber(part);
      if (!n || (!first && (part.size() != 2 || *n >= 60))) return std::nullopt;
      if (total > kMostCorrection) return std::nullopt;
      total = total * 60 + *n;
      first = false;
      if (colon == std::string_view::npos) break;
      text.remove_prefix(colon + 1);
      if (text.empty()) return std::nullopt;
    }
    return total;
  }
  long total = 0;
  bool any = false;
  while (!text.empty()) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits == text.size()) return std::nullopt;
    const auto n = wholeNumber(text.substr(0, digits));
    if (!n || *n > kMostCorrection) return std::nullopt;
    const char unit = text[digits];
    const long scale = unit == 'h' ? 3600 : unit == 'm' ? 60 : unit == 's' ? 1 : 0;
    if (scale == 0) return std::nullopt;
    total += *n * scale;
    any = true;
    text.remove_prefix(digits + 1);
  }
  if (!any) return std::nullopt;
  return total;
}

struct Word {
  std::string_view word;
  Command::Kind kind;
  bool number;  // takes a whole number after it
};

constexpr Word kWords[] = {
    {"bust", Command::Kind::bust, false},      {"entry", Command::Kind::entry, false},
    {"rebuy", Command::Kind::rebuy, false},    {"addon", Command::Kind::addon, false},
    {"add-on", Command::Kind::addon, false},   {"players", Command::Kind::players, true},
    {"entries", Command::Kind::entries, true}, {"level", Command::Kind::level, true},
    {"break", Command::Kind::breakAt, true},   {"pause", Command::Kind::pause, false},
    {"resume", Command::Kind::resume, false},
};

std::string quoted(std::string_view word) {
  return "'" + std::string(word.substr(0, 40)) + "'";
}

}  // namespace

Result<Command, std::string> parseCommand(std::span<const std::string> words) {
  if (words.empty()) return std::string("no command given");
  const std::string_view head = words[0];
  if (head == "time") {
    if (words.size() != 2)
      return std::string("'time' takes one correction: +1m, -30s or the time left (12:30)");
    std::string_view text = words[1];
    int sign = 0;
    if (text.starts_with('+') || text.starts_with('-')) {
      sign = text[0] == '+' ? 1 : -1;
      text.remove_prefix(1);
    }
    const auto seconds = duration(text);
    if (!seconds || *seconds > kMostCorrection)
      return "'time " + std::string(words[1]).substr(0, 40) +
             "' is no time: say +1m, -30s, +1m30s, or the time left as 12:30 (a day at most)";
    if (sign == 0) return Command{Command::Kind::timeTo, *seconds};
    if (*seconds == 0) return std::string("a correction of no time changes nothing");
    return Command{Command::Kind::timeBy, sign * *seconds};
  }
  for (const Word& w : kWords) {
    if (head != w.word) continue;
    if (!w.number) {
      if (words.size() != 1) return quoted(head) + " takes nothing after it";
      return Command{w.kind, 0};
    }
    if (words.size() != 2)
      return quoted(head) + " takes one number, as in '" + std::string(head) + " 7'";
    const auto n = wholeNumber(words[1]);
    if (!n || *n > 1'000'000) return quoted(words[1]) + " is no number for " + quoted(head);
    return Command{w.kind, *n};
  }
  return "unknown command " + quoted(head);
}

std::vector<std::string> commandWords(std::string_view line) {
  std::vector<std::string> words;
  while (!line.empty()) {
    const auto blank = line.find(' ');
    if (blank != 0) words.emplace_back(line.substr(0, blank));
    if (blank == std::string_view::npos) break;
    line.remove_prefix(blank + 1);
  }
  return words;
}

}  // namespace potclock
