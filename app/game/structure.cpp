#include "app/game/structure.h"

#include <cstdio>
#include <string_view>

#include "app/game/levels.h"

namespace potclock {

namespace {

// Terminal columns of each character of a blinds label in large text (its
// glyph's width); neighbours stand one blank apart.
int glyphWidth(char c) {
  switch (c) {
    case ' ':
      return 5;
    case '.':
      return 3;
    case 'M':
      return 9;
    default:
      return 7;  // digits, '/', 'K'
  }
}

int largeWidth(std::string_view text) {
  int width = text.empty() ? 0 : static_cast<int>(text.size()) - 1;
  for (char c : text) width += glyphWidth(c);
  return width;
}

constexpr int kScreenColumns = 80;

std::string padLeft(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// "12.5" from 12500 over 1000: the quotient with only the decimals it needs.
std::string exactQuotient(long amount, long unit) {
  std::string text = std::to_string(amount / unit);
  long rest = amount % unit;
  if (rest == 0) return text;
  text += '.';
  while (rest != 0) {
    unit /= 10;
    text += static_cast<char>('0' + rest / unit);
    rest %= unit;
  }
  return text;
}

// How far an amount is shortened, each step only where the one before does
// not fit: plain digits; whole thousands or millions, both halves in one
// unit; K or M with the decimals it needs, both halves in the big blind's
// unit (a small blind below it in its own); then K or M rounded to three,
// two and one significant figures, which always fits.
enum Shortening { kNone, kWhole, kExact, kRounded3, kRounded2, kRounded1 };

std::string rounded(long amount, int figures) {
  long unit = amount >= 1'000'000 ? 1'000'000 : 1000;
  double value = static_cast<double>(amount) / static_cast<double>(unit);
  const int whole = value < 10 ? 1 : value < 100 ? 2 : 3;
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", figures > whole ? figures - whole : 0, value);
  std::string shown = text;
  // 999.6K rounds to 1000K: that is 1M (and 1000M is 1B).
  if (shown.starts_with("1000")) return unit == 1000 ? "1M" : "1B";
  if (shown.find('.') != std::string::npos) {
    while (shown.back() == '0') shown.pop_back();
    if (shown.back() == '.') shown.pop_back();
  }
  return shown + (unit == 1000 ? 'K' : 'M');
}

// `amount` in `unit` (1000 or a million), or in thousands when it is less.
std::string amountText(long amount, Shortening how, long unit) {
  if (how == kNone || amount < 1000) return std::to_string(amount);
  if (how > kExact) return rounded(amount, 3 - (how - kRounded3));
  if (amount < unit) unit = 1000;
  return exactQuotient(amount, unit) + (unit == 1000 ? 'K' : 'M');
}

// The one unit of a label's two halves: millions where both are whole
// millions (or, with decimals, where the big blind is a million or more).
long commonUnit(long small, long big, Shortening how) {
  if (how == kWhole) return small % 1'000'000 == 0 && big % 1'000'000 == 0 ? 1'000'000 : 1000;
  return big >= 1'000'000 ? 1'000'000 : 1000;
}

std::string labelWith(long small, long big, Shortening how) {
  const long unit = commonUnit(small, big, how);
  const std::string s = amountText(small, how, unit);
  const std::string b = amountText(big, how, unit);
  if (how == kNone) {
    if (small < 100) return padLeft(s, 4) + " / " + b;
    return padLeft(s + "/" + b, 9);
  }
  return padLeft(s, 4) + "/" + b;
}

// The number in a built-in label's half: "1", "500", "15K".
long labelAmount(std::string_view text) {
  long amount = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') amount = amount * 10 + (c - '0');
    if (c == 'K') amount *= 1000;
  }
  return amount;
}

}  // namespace

Mode entryMode(const Structure& t, std::size_t index) {
  return t.hands && !t.entries[index].isBreak ? Mode::hands : Mode::minutes;
}

int levelNumber(const Structure& t, std::size_t index) {
  if (index >= t.entries.size() || t.entries[index].isBreak) return 0;
  int number = 0;
  for (std::size_t i = 0; i <= index; ++i) number += t.entries[i].isBreak ? 0 : 1;
  return number;
}

std::string blindsLabel(long small, long big) {
  // Whole thousands only where every amount of a thousand or more is one,
  // so that a label never mixes "12500" with "25K".
  auto whole = [](long amount) { return amount < 1000 || amount % 1000 == 0; };
  for (Shortening how : {kNone, kWhole, kExact, kRounded3, kRounded2}) {
    if (how == kWhole && !(whole(small) && whole(big))) continue;
    std::string label = labelWith(small, big, how);
    if (largeWidth(label) <= kScreenColumns) return label;
  }
  return labelWith(small, big, kRounded1);
}

std::string chipsText(long amount) {
  const std::string digits = std::to_string(amount);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

Structure builtInStructure(char letter, int minutes) {
  Structure t;
  for (const BuiltInStructure& s : kStructures) {
    if (s.letter != letter) continue;
    t.name = std::string(s.heading.substr(4, s.heading.find("...") - 4));
    for (std::size_t i = 0; i < s.bigBlinds.size(); ++i) {
      const std::string_view label = aLevels[static_cast<std::size_t>(s.firstLevel) - 1 + i];
      const auto slash = label.find('/');
      Entry e;
      e.small = labelAmount(label.substr(0, slash));
      e.big = s.bigBlinds[i];
      e.length = minutes;
      t.entries.push_back(e);
    }
  }
  return t;
}

}  // namespace potclock
