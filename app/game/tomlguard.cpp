#include "app/game/tomlguard.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "runtime/console/screen.h"

namespace potclock {

namespace {

// The code point of the UTF-8 sequence at `at` and its length in bytes;
// nothing for bytes that are not one (overlong, a surrogate, cut short),
// which the runtime's decoder reads as U+FFFD one byte long.
std::optional<std::pair<char32_t, std::size_t>> decode(std::string_view s, std::size_t at) {
  std::size_t end = at;
  const char32_t c = krx::decodeUtf8(s, end);
  if (c == 0xFFFD && end - at == 1) return std::nullopt;
  return std::pair(c, end - at);
}

// Far beyond any structure file ([[level]] nests two, a key has no dot),
// and far within the parser's stack.
constexpr int kMostNesting = 64;

std::string codePoint(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// Walks the file as the parser will, through comments and the four kinds of
// quoted text, copying it to the guarded text.
class Scanner {
 public:
  explicit Scanner(std::string_view file) : in_(file) {}

  GuardedToml run() {
    // The parser skips a byte order mark without counting it as a column.
    if (in_.starts_with("\xEF\xBB\xBF")) {
      out_.text = in_.substr(0, 3);
      i_ = 3;
    }
    while (more()) {
      if (next() == '#') {
        while (more() && next() != '\n') take(1);
      } else if (ahead("\"\"\"")) {
        multiLine('"');
      } else if (ahead("'''")) {
        multiLine('\'');
      } else if (next() == '"' || next() == '\'') {
        singleLine(next());
      } else if ((next() >= '0' && next() <= '9') || next() == '+' || next() == '-') {
        bareValue();
      } else if (next() == '[' && depth_ == 0 && headerWithoutName()) {
        // The parser asserts there rather than report it.
        out_.stray = {at_,
                      "a table header without its name on the line; expected [name] or "
                      "[[name]] on one line"};
      } else if (next() == '[' || next() == '{') {
        // The parser recurses into each level of nesting and each part of a
        // dotted key: a file nested deeper than any structure is refused
        // before it can run the parser out of stack.
        if (++depth_ > kMostNesting)
          tooDeep("brackets or braces nested");
        else
          take(1);
      } else if (next() == ']' || next() == '}') {
        depth_ -= depth_ > 0 ? 1 : 0;
        take(1);
      } else if (next() == '.') {
        if (++dots_ >= kMostNesting)
          tooDeep("parts in a dotted key");
        else
          take(1);
      } else if (next() == '\n') {
        dots_ = 0;
        take(1);
      } else if (static_cast<unsigned char>(next()) >= 0x80) {
        refuse("outside quotes; expected it only in quoted text or a comment");
      } else {
        take(1);
      }
    }
    return std::move(out_);
  }

 private:
  bool more() const { return i_ < in_.size() && !out_.stray; }
  char next() const { return in_[i_]; }
  bool ahead(std::string_view s) const { return in_.substr(i_).starts_with(s); }

  void take(std::size_t n) {
    for (const char c : in_.substr(i_, n)) {
      out_.text += c;
      if (c == '\n') {
        ++at_.line;
        at_.column = 1;
      } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        ++at_.column;
      }
    }
    i_ += n;
  }

  // Whether the bracket here opens a table header (the line's first
  // character but blanks) whose line ends, or the file, before a name.
  bool headerWithoutName() const {
    const auto lineStart = out_.text.rfind('\n') + 1;  // npos + 1 is 0
    if (out_.text.find_first_not_of(" \t", lineStart) != std::string::npos) return false;
    std::size_t at = i_ + (ahead("[[") ? 2 : 1);
    while (at < in_.size() && (in_[at] == ' ' || in_[at] == '\t')) ++at;
    return at == in_.size() || in_[at] == '\r' || in_[at] == '\n';
  }

  void tooDeep(std::string_view what) {
    out_.stray = {at_, "more than " + std::to_string(kMostNesting) + " " + std::string(what) +
                           "; expected a structure file's few levels"};
  }

  // Stops the walk: the parser is given the text up to here.
  void refuse(std::string_view where) {
    const auto c = decode(in_, i_);
    if (c && (c->first == U'\u201C' || c->first == U'\u201D' || c->first == U'\u2018' ||
              c->first == U'\u2019')) {
      out_.stray = {
          at_, "a curly quote " + codePoint(c->first) + "; put the text in straight double quotes"};
      return;
    }
    out_.stray = {at_,
                  c ? "not valid TOML: character " + codePoint(c->first) + " " + std::string(where)
                    : std::string("not valid TOML: bytes that are not UTF-8")};
  }

  // A value that begins with a digit or a sign the parser reads up to where
  // a value ends before it tells which kind it is, quotes and all. A key
  // that begins so is one no structure file has.
  void bareValue() {
    take(1);
    while (more()) {
      const char c = next();
      if (c == ' ' || c == '\t' || (c >= '\n' && c <= '\r') || c == ',' || c == ']' || c == '}' ||
          c == '#')
        return;
      if (static_cast<unsigned char>(c) >= 0x80)
        return refuse("in a number, date or time; expected digits and the signs they take");
      take(1);
    }
  }

  // A line ends it too: the parser stops there with its own problem.
  void singleLine(char quote) {
    take(1);
    while (more() && next() != '\n') {
      const bool escape = quote == '"' && next() == '\\';
      const bool end = next() == quote;
      take(1);
      if (end) return;
      if (escape && more() && next() != '\n') take(1);
    }
  }

  // Up to two quotes more than three close it, as part of the text.
  void multiLine(char quote) {
    take(3);
    while (more()) {
      if (next() == '\\' && quote == '"') {
        backslash();
      } else if (next() == quote) {
        const std::size_t run = in_.substr(i_).find_first_not_of(quote);
        const std::size_t quotes = run == std::string_view::npos ? in_.size() - i_ : run;
        take(std::min<std::size_t>(quotes, 5));
        if (quotes >= 3) return;
      } else {
        take(1);
      }
    }
  }

  void backslash() {
    take(1);
    const std::size_t blanks = in_.substr(i_).find_first_not_of(" \t");
    if (blanks == std::string_view::npos) return;
    const std::string_view after = in_.substr(i_ + blanks);
    if (after.starts_with('\n') || after.starts_with("\r\n")) {
      // A line-ending backslash: the blanks and line breaks after it are
      // left out of the text, up to the next character.
      while (more() && (next() == ' ' || next() == '\t' || next() == '\r' || next() == '\n'))
        take(1);
      if (more() && static_cast<unsigned char>(next()) >= 0x80) escapeNext();
      return;
    }
    if (static_cast<unsigned char>(after[0]) >= 0x80) {
      take(blanks);
      refuse("after a backslash; expected an escape such as \\t or \\u00E9");
      return;
    }
    take(1);  // the escaped character, so that \" and \\ end nothing
  }

  void escapeNext() {
    const auto c = decode(in_, i_);
    if (!c) return refuse("");
    char escape[16];
    const int length =
        std::snprintf(escape, sizeof escape, c->first <= 0xFFFF ? "\\u%04X" : "\\U%08X",
                      static_cast<unsigned>(c->first));
    out_.escapes.push_back({at_, static_cast<std::uint32_t>(length - 1)});
    out_.text += escape;
    at_.column += static_cast<std::uint32_t>(length);
    i_ += c->second;
  }

  std::string_view in_;
  std::size_t i_ = 0;
  int depth_ = 0;  // brackets and braces open
  int dots_ = 0;   // key parts of the line so far
  TextPosition at_;
  GuardedToml out_;
};

}  // namespace

TextPosition GuardedToml::inFile(TextPosition at) const {
  // Latest first: an earlier escape's place is the same in both.
  for (auto e = escapes.rbegin(); e != escapes.rend(); ++e) {
    if (e->at.line == at.line && at.column > e->at.column)
      at.column -= std::min(e->extra, at.column - e->at.column);
  }
  return at;
}

GuardedToml guardToml(std::string_view file) {
  return Scanner(file).run();
}

}  // namespace potclock
