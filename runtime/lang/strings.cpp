#include "runtime/lang/strings.h"

#include <locale.h>
#include <stdlib.h>

#include <cerrno>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "runtime/lang/langcontext.h"
#include "runtime/lang/object.h"

namespace krx {

namespace {

// ===========================================================================
// Decimal digits of a double
//
// Rounding works on the shortest decimal text that reads back as the same
// double, not on the binary value: 2.675 is stored as 2.67499999..., but the
// user typed 2.675 and expects 2.68. Working on that text also makes "half
// away from zero" exact, with no epsilon to tune.
// ===========================================================================

// The magnitude of a finite number as decimal digits with the decimal point
// after `point` of them (point may be 0: ".5" is digits "5", point 0).
struct Decimal {
  std::string digits;
  int point = 0;
  bool negative = false;
};

// The C locale, for reading and writing numbers whatever the process's is.
locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

// The fewest significant digits that read back as `n` (finite, not
// negative), and the decimal exponent of the first. Worked out with printf
// and strtod rather than the standard library's to_chars, whose floating-point
// part pulls the maths library into the program, and every shared library
// costs a long-running process resident memory.
std::pair<std::string, int> shortestDigits(double n) {
  const locale_t previous = uselocale(cLocale());
  char buf[64];
  for (int precision = 0; precision <= 16; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision, n);
    if (strtod_l(buf, nullptr, cLocale()) == n) break;
  }
  uselocale(previous);
  const std::string_view text(buf);
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  return {digits, std::atoi(buf + e + 1)};
}

Decimal toDecimal(double n) {
  Decimal d;
  d.negative = std::signbit(n);
  auto [digits, exponent] = shortestDigits(std::fabs(n));
  if (exponent < 0) {  // 0.05: "005", the point after the first
    d.digits = "0" + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    d.point = 1;
  } else {
    if (digits.size() < static_cast<std::size_t>(exponent) + 1) digits.resize(exponent + 1, '0');
    d.digits = digits;
    d.point = exponent + 1;
  }
  return d;
}

// Rounds to `dec` decimals (negative: to tens, hundreds...), half away from
// zero. Afterwards digits hold exactly point + dec digits when dec >= 0.
void roundDecimal(Decimal& d, int dec) {
  int keep = d.point + dec;  // digits that survive
  if (keep < 0) {
    d.digits = "0";
    d.point = 1;
  } else if (keep < static_cast<int>(d.digits.size())) {
    bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9')
        d.digits[static_cast<std::size_t>(i--)] = '0';
      if (i >= 0) {
        ++d.digits[static_cast<std::size_t>(i)];
      } else {
        d.digits.insert(d.digits.begin(), '1');
        ++d.point;
      }
    }
  }
  // Whole places dropped by a negative `dec` come back as zeros.
  if (static_cast<int>(d.digits.size()) < d.point)
    d.digits.append(static_cast<std::size_t>(d.point - static_cast<int>(d.digits.size())), '0');
  if (dec > 0 && static_cast<int>(d.digits.size()) < d.point + dec)
    d.digits.append(static_cast<std::size_t>(d.point + dec - static_cast<int>(d.digits.size())),
                    '0');
  if (d.digits.find_first_not_of('0') == std::string::npos) d.negative = false;
}

// "-12.50" for digits rounded to `dec` decimals; at least one whole digit.
std::string decimalText(const Decimal& d, int dec) {
  std::string whole = d.point > 0 ? d.digits.substr(0, static_cast<std::size_t>(d.point)) : "";
  std::size_t first = whole.find_first_not_of('0');
  whole = first == std::string::npos ? "0" : whole.substr(first);
  std::string out = d.negative ? "-" + whole : whole;
  if (dec > 0) {
    out += '.';
    // Digits before the point may be missing when point < 0 (.005 is "5", -2).
    for (int i = 0; i < dec; ++i) {
      int pos = d.point + i;
      out += pos >= 0 && pos < static_cast<int>(d.digits.size())
                 ? d.digits[static_cast<std::size_t>(pos)]
                 : '0';
    }
  }
  return out;
}

// The number rounded half away from zero to `dec` decimals, as text.
std::string fixedText(double n, int dec) {
  Decimal d = toDecimal(n);
  roundDecimal(d, dec);
  return decimalText(d, dec);
}

bool isWhole(double n) {
  return std::isfinite(n) && std::trunc(n) == n;
}

std::string formatStr(double n, int len, int dec, bool widen) {
  if (!std::isfinite(n)) return std::string(static_cast<std::size_t>(len), '*');
  std::string text = fixedText(n, dec);
  if (static_cast<int>(text.size()) > len) {
    if (!widen) return std::string(static_cast<std::size_t>(len), '*');
    return text;
  }
  return std::string(static_cast<std::size_t>(len) - text.size(), ' ') + text;
}

// The shortest text that reads back as the same number: what VAR2CHAR shows,
// so that an error log keeps every digit of a failing operand.
std::string exactText(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n < 0 ? "-Infinity" : "Infinity";
  const std::string sign = n < 0 ? "-" : "";
  if (std::fabs(n) < 1e15) {
    const Decimal d = toDecimal(n);
    std::string whole = d.digits.substr(0, static_cast<std::size_t>(d.point));
    std::string fraction = d.digits.substr(static_cast<std::size_t>(d.point));
    return sign + whole + (fraction.empty() ? "" : "." + fraction);
  }
  // Large numbers in scientific form: 1.5e+20.
  const auto [digits, exponent] = shortestDigits(std::fabs(n));
  std::string mantissa = digits.substr(0, 1);
  if (digits.size() > 1) mantissa += "." + digits.substr(1);
  char exp[16];
  std::snprintf(exp, sizeof exp, "e%+03d", exponent);
  return sign + mantissa + exp;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Dates show in the format of setting 4; without a runtime, the default.
std::string dateText(Date d) {
  return formatDate(d, hasLanguage() ? LANG().dateFormat() : "mm/dd/yy");
}

// ===========================================================================
// Calendar
// ===========================================================================

bool leapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

// Two-digit years read as 1950 to 2049, whatever the day: a date that is
// typed, or written and read back, means the same on every day of a run.
constexpr int kEpoch = 1950;

int fullYear(int twoDigits) {
  const int year = kEpoch / 100 * 100 + twoDigits;
  return year < kEpoch ? year + 100 : year;
}

// ===========================================================================
// Memo lines
// ===========================================================================

constexpr int kTabSize = 4;

// Cuts `text` into display lines of at most `width` characters: at its own
// line breaks (LF or CR LF), after a blank where a word would cross the
// width, and inside a word that is longer than the width.
std::vector<std::string> memoLines(std::string_view text, int width) {
  std::vector<std::string> lines;
  if (width < 1 || text.empty()) return lines;
  const auto w = static_cast<std::size_t>(width);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;

    // Tabs become blanks up to the next tab stop, so widths are columns.
    std::string hard;
    for (std::size_t i = start; i < stop; ++i) {
      if (text[i] == '\t') {
        hard.append(kTabSize - hard.size() % kTabSize, ' ');
      } else {
        hard += text[i];
      }
    }

    std::size_t i = 0;
    if (hard.empty()) lines.emplace_back();
    while (i < hard.size()) {
      if (hard.size() - i <= w) {
        lines.push_back(hard.substr(i));
        break;
      }
      // The last blank at or before the width ends the line, unless only
      // blanks come before it: then the word is cut at the width.
      std::size_t blank = hard.rfind(' ', i + w);
      std::size_t firstWord = hard.find_first_not_of(' ', i);
      std::size_t next;
      if (blank == std::string::npos || blank < i || firstWord >= blank) {
        lines.push_back(hard.substr(i, w));
        next = i + w;
      } else if (blank == i + w) {
        lines.push_back(hard.substr(i, w));
        next = blank + 1;
      } else {
        lines.push_back(hard.substr(i, blank + 1 - i));
        next = blank + 1;
      }
      // A soft break swallows the blanks after it, or the next line would
      // start indented.
      while (next < hard.size() && hard[next] == ' ') ++next;
      i = next;
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

// ===========================================================================
// Text forms of values
// ===========================================================================

constexpr int kVar2CharDepth = 8;

std::string var2char(const Item& value, int depth, bool nested) {
  switch (value.type()) {
    case 'C':
      return nested ? "\"" + value.str() + "\"" : value.str();
    case 'N':
      return exactText(value.num());
    case 'L':
      return value.log() ? ".T." : ".F.";
    case 'D':
      return dateText(value.date());
    case 'A': {
      if (depth >= kVar2CharDepth) return "{...}";
      std::string out = "{";
      const Array& a = *value.array();
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (i > 0) out += ", ";
        out += var2char(a[i], depth + 1, true);
      }
      return out + "}";
    }
    case 'B':
      return value.block()->source();
    case 'O':
      return value.object()->className();
    default:
      return "NIL";
  }
}

// TRANSFORM of a number through a picture template of 9 # . , characters.
std::string transformNumber(double n, std::string_view tmpl) {
  std::size_t dot = tmpl.find('.');
  int dec = 0;
  if (dot != std::string_view::npos)
    for (std::size_t i = dot + 1; i < tmpl.size(); ++i)
      if (tmpl[i] == '9' || tmpl[i] == '#') ++dec;
  int wholeSlots = 0;
  for (std::size_t i = 0; i < (dot == std::string_view::npos ? tmpl.size() : dot); ++i)
    if (tmpl[i] == '9' || tmpl[i] == '#') ++wholeSlots;

  std::string text = fixedText(n, dec);
  std::size_t tdot = text.find('.');
  std::string whole = text.substr(0, tdot);
  std::string frac = tdot == std::string::npos ? "" : text.substr(tdot + 1);
  if (static_cast<int>(whole.size()) > wholeSlots) {
    std::string stars(tmpl);
    for (char& c : stars)
      if (c != '.') c = '*';
    return stars;
  }

  // Fill the slots right to left with the whole digits, left to right with
  // the decimals; a comma shows only between digits.
  std::string out(tmpl);
  std::size_t wholeEnd = dot == std::string_view::npos ? tmpl.size() : dot;
  int w = static_cast<int>(whole.size()) - 1;
  for (std::size_t k = wholeEnd; k-- > 0;) {
    char t = tmpl[k];
    if (t == '9' || t == '#') {
      out[k] = w >= 0 ? whole[static_cast<std::size_t>(w--)] : ' ';
    } else if (t == ',') {
      out[k] = w >= 0 ? ',' : ' ';
    }
  }
  std::size_t f = 0;
  for (std::size_t k = wholeEnd + 1; k < tmpl.size(); ++k)
    if (tmpl[k] == '9' || tmpl[k] == '#') out[k] = f < frac.size() ? frac[f++] : '0';
  return out;
}

// TRANSFORM of a text through a template: ! upper-cases, the other template
// letters take the character as it is, anything else is inserted literally.
std::string transformText(std::string_view s, std::string_view tmpl, bool upper) {
  std::string out;
  std::size_t j = 0;
  for (char t : tmpl) {
    switch (t) {
      case '!':
      case 'A':
      case 'N':
      case 'X':
      case '9':
      case '#':
      case 'L':
      case 'Y': {
        char c = j < s.size() ? s[j++] : ' ';
        if (t == '!' || upper) c = UPPER(std::string_view(&c, 1))[0];
        out += c;
        break;
      }
      default:
        out += t;
    }
  }
  return out;
}

}  // namespace

// ===========================================================================
// Numbers
// ===========================================================================

std::string STR(double n) {
  // Without a length the number is never lost to asterisks: it widens.
  return formatStr(n, 10, isWhole(n) ? 0 : 2, true);
}

std::string STR(double n, int len) {
  return STR(n, len, 0);
}

std::string STR(double n, int len, int dec) {
  if (len < 1) return STR(n);
  if (dec < 0) dec = 0;
  return formatStr(n, len, dec, false);
}

double VAL(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string number;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) number += s[i++];
  bool dot = false;
  bool digits = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      number += c;
      digits = true;
    } else if (c == '.' && !dot) {
      number += c;
      dot = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  const double value = readDecimal(number);
  return value == 0 ? 0.0 : value;
}

// strtod in the C locale rather than the standard library's from_chars, whose
// floating-point reading pulls the maths library into the program (it sets
// the rounding mode), and each shared library costs resident memory.
double readDecimal(std::string_view text, bool* outOfRange) {
  const std::string copy(text);  // strtod wants the terminating NUL
  errno = 0;
  const double value = strtod_l(copy.c_str(), nullptr, cLocale());
  if (outOfRange) *outOfRange = errno == ERANGE;
  return value;
}

double ROUND(double n, int dec) {
  if (!std::isfinite(n)) return n;
  Decimal d = toDecimal(n);
  roundDecimal(d, dec);
  return readDecimal(decimalText(d, dec > 0 ? dec : 0));
}

double INT(double n) {
  return std::trunc(n);
}

// ===========================================================================
// Text
// ===========================================================================

std::string SUBSTR(std::string_view s, int start) {
  return SUBSTR(s, start, static_cast<int>(s.size()));
}

std::string SUBSTR(std::string_view s, int start, int count) {
  const int len = static_cast<int>(s.size());
  // 0 reads as 1; a negative start counts from the end.
  int from = start > 0 ? start - 1 : (start < 0 ? len + start : 0);
  if (from < 0) from = 0;
  if (from >= len || count < 1) return "";
  return std::string(s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count)));
}

std::string LEFT(std::string_view s, int n) {
  if (n < 1) return "";
  return std::string(s.substr(0, static_cast<std::size_t>(n)));
}

std::string RIGHT(std::string_view s, int n) {
  if (n < 1) return "";
  if (static_cast<std::size_t>(n) >= s.size()) return std::string(s);
  return std::string(s.substr(s.size() - static_cast<std::size_t>(n)));
}

std::string UPPER(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string LOWER(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string LTRIM(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string_view::npos ? "" : std::string(s.substr(i));
}

std::string RTRIM(std::string_view s) {
  std::size_t i = s.find_last_not_of(' ');
  return i == std::string_view::npos ? "" : std::string(s.substr(0, i + 1));
}

std::string ALLTRIM(std::string_view s) {
  return LTRIM(RTRIM(s));
}

std::string PADL(std::string_view s, int n, char fill) {
  if (n < 1) return "";
  const auto len = static_cast<std::size_t>(n);
  if (s.size() >= len) return std::string(s.substr(0, len));
  return std::string(len - s.size(), fill) + std::string(s);
}

std::string PADR(std::string_view s, int n, char fill) {
  if (n < 1) return "";
  const auto len = static_cast<std::size_t>(n);
  if (s.size() >= len) return std::string(s.substr(0, len));
  return std::string(s) + std::string(len - s.size(), fill);
}

std::string SPACE(int n) {
  return n < 1 ? "" : std::string(static_cast<std::size_t>(n), ' ');
}

std::string REPLICATE(std::string_view s, int n) {
  std::string out;
  if (n < 1) return out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string STRTRAN(std::string_view s, std::string_view find, std::string_view replace) {
  if (find.empty()) return std::string(s);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = s.find(find, pos);
    if (hit == std::string_view::npos) break;
    out += s.substr(pos, hit - pos);
    out += replace;
    pos = hit + find.size();
  }
  out += s.substr(pos);
  return out;
}

int AT(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return 0;
  std::size_t pos = haystack.find(needle);
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string CHR(int code) {
  return std::string(1, static_cast<char>(((code % 256) + 256) % 256));
}

int ASC(std::string_view s) {
  return s.empty() ? 0 : static_cast<unsigned char>(s[0]);
}

std::string TRANSFORM(const Item& value, std::string_view picture) {
  // "@<functions> <template>": only the upper-case function is known here.
  bool upper = false;
  std::string_view tmpl = picture;
  if (!tmpl.empty() && tmpl[0] == '@') {
    std::size_t blank = tmpl.find(' ');
    std::string_view functions =
        tmpl.substr(1, blank == std::string_view::npos ? tmpl.npos : blank - 1);
    upper = functions.find('!') != std::string_view::npos;
    tmpl = blank == std::string_view::npos ? std::string_view{} : tmpl.substr(blank + 1);
  }
  switch (value.type()) {
    case 'N':
      return tmpl.empty() ? displayForm(value) : transformNumber(value.num(), tmpl);
    case 'C':
      if (tmpl.empty()) return upper ? UPPER(value.str()) : value.str();
      return transformText(value.str(), tmpl, upper);
    case 'L':
      return value.log() ? "T" : "F";
    case 'D':
      return displayForm(value);
    default:
      return "";
  }
}

int MLCOUNT(std::string_view text, int width) {
  return static_cast<int>(memoLines(text, width).size());
}

std::string MEMOLINE(std::string_view text, int width, int line) {
  std::vector<std::string> lines = memoLines(text, width);
  if (line < 1 || line > static_cast<int>(lines.size())) return "";
  return PADR(lines[static_cast<std::size_t>(line) - 1], width);
}

std::string VAR2CHAR(const Item& value) {
  return var2char(value, 0, false);
}

std::string displayForm(const Item& value) {
  switch (value.type()) {
    case 'C':
      return value.str();
    case 'N':
      return STR(value.num());
    case 'L':
      return value.log() ? ".T." : ".F.";
    case 'D':
      return dateText(value.date());
    case 'A':
      return "{...}";
    case 'B':
      return "{||...}";
    case 'O':
      return value.object()->className();
    default:
      return "NIL";
  }
}

bool EMPTY(const Item& value) {
  switch (value.type()) {
    case 'C':
      for (char c : value.str())
        if (!isBlank(c)) return false;
      return true;
    case 'N':
      return value.num() == 0;
    case 'L':
      return !value.log();
    case 'D':
      return value.date().julian == 0;
    case 'A':
      return value.array()->empty();
    case 'B':
    case 'O':
      return false;
    default:
      return true;
  }
}

// ===========================================================================
// Dates
// ===========================================================================

Date makeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month))
    return Date{};
  // Julian day number of a proleptic Gregorian date.
  int a = (14 - month) / 12;
  int y = year + 4800 - a;
  int m = month + 12 * a - 3;
  return Date{day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045};
}

DateParts splitDate(Date d) {
  if (d.julian == 0) return {};
  int a = d.julian + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int e = (4 * c + 3) / 1461;
  int f = c - 1461 * e / 4;
  int m = (5 * f + 2) / 153;
  DateParts p;
  p.day = f - (153 * m + 2) / 5 + 1;
  p.month = m + 3 - 12 * (m / 10);
  p.year = 100 * b + e - 4800 + m / 10;
  return p;
}

std::string formatDate(Date d, std::string_view format) {
  DateParts p = splitDate(d);
  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    char c = static_cast<char>(format[i] | 0x20);  // letters in either case
    if (c != 'y' && c != 'm' && c != 'd') {
      out += format[i++];
      continue;
    }
    std::size_t run = 1;
    while (i + run < format.size() && static_cast<char>(format[i + run] | 0x20) == c) ++run;
    i += run;
    if (d.julian == 0) {
      out.append(run, ' ');
      continue;
    }
    int v = c == 'y' ? p.year : (c == 'm' ? p.month : p.day);
    // A run of n letters shows the last n digits, zero-padded.
    std::string digits = std::to_string(v);
    if (digits.size() < run) digits.insert(0, run - digits.size(), '0');
    out += digits.substr(digits.size() - run);
  }
  return out;
}

std::optional<Date> parseDate(std::string_view text, std::string_view format) {
  // Year, month and day: the digits where the format puts each, blanks among
  // them left out (a field being typed has them).
  int part[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  std::size_t width[3] = {0, 0, 0};
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char l = static_cast<char>(format[i] | 0x20);
    const int k = l == 'y' ? 0 : l == 'm' ? 1 : l == 'd' ? 2 : -1;
    if (k < 0) continue;
    ++width[k];
    const char c = i < text.size() ? text[i] : ' ';
    if (c >= '0' && c <= '9') {
      // Past any day's numbers: impossible, and no overflow.
      if (part[k] > 99999) return std::nullopt;
      part[k] = part[k] * 10 + (c - '0');
      ++digits[k];
    } else if (c != ' ') {
      return std::nullopt;
    }
  }
  if (digits[0] + digits[1] + digits[2] == 0) return Date{};
  if (digits[0] == 0 || digits[1] == 0 || digits[2] == 0) return std::nullopt;
  const int year = width[0] <= 2 ? fullYear(part[0]) : part[0];
  const Date d = makeDate(year, part[1], part[2]);
  if (d.julian == 0) return std::nullopt;
  return d;
}

}  // namespace krx
