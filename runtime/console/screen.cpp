#include "runtime/console/screen.h"

#include <algorithm>
#include <array>
#include <utility>

namespace krx {

// --- The model ------------------------------------------------------------

int Screen::write(int atRow, int atCol, std::string_view bytes, Attr attr) {
  const int end = atCol + static_cast<int>(bytes.size());
  if (atRow < 0 || atRow >= kRows) return std::min(end, kCols);
  bool changed = false;
  for (int c = std::max(atCol, 0); c < std::min(end, kCols); ++c) {
    const Cell cell{static_cast<std::uint8_t>(bytes[c - atCol]), attr};
    Cell& target = at(atRow, c);
    if (target != cell) {
      target = cell;
      changed = true;
    }
  }
  if (changed) touch();
  return std::min(end, kCols);
}

void Screen::fill(int top, int left, int bottom, int right, Attr attr) {
  top = std::max(top, 0);
  left = std::max(left, 0);
  bottom = std::min(bottom, kRows - 1);
  right = std::min(right, kCols - 1);
  const Cell blank{' ', attr};
  bool changed = false;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      if (at(r, c) != blank) {
        at(r, c) = blank;
        changed = true;
      }
    }
  }
  if (changed) touch();
}

void Screen::scrollUp(int top, int left, int bottom, int right, Attr attr) {
  top = std::max(top, 0);
  left = std::max(left, 0);
  bottom = std::min(bottom, kRows - 1);
  right = std::min(right, kCols - 1);
  if (top > bottom || left > right) return;
  for (int r = top; r < bottom; ++r) {
    for (int c = left; c <= right; ++c) at(r, c) = at(r + 1, c);
  }
  for (int c = left; c <= right; ++c) at(bottom, c) = Cell{' ', attr};
  touch();
}

void Screen::setFineRows(int top, int bottom, FineDrawing draw) {
  top = std::max(top, 0);
  bottom = std::min(bottom, kRows - 1);
  if (top > bottom || !draw) {
    clearFineRows();
    return;
  }
  FineRows fine{top, bottom, std::move(draw), ++fineSerial_, {}};
  fine.standsFor.assign(cells_.begin() + top * kCols, cells_.begin() + (bottom + 1) * kCols);
  fine_ = std::move(fine);
  touch();
}

void Screen::clearFineRows() {
  if (!fine_) return;
  fine_.reset();
  touch();
}

const FineRows* Screen::fineRows() const {
  if (!fine_) return nullptr;
  const auto from = cells_.begin() + fine_->top * kCols;
  return std::equal(fine_->standsFor.begin(), fine_->standsFor.end(), from) ? &*fine_ : nullptr;
}

std::string Screen::rowBytes(int atRow) const {
  std::string out(kCols, ' ');
  if (atRow < 0 || atRow >= kRows) return out;
  for (int c = 0; c < kCols; ++c) out[c] = static_cast<char>(at(atRow, c).ch);
  return out;
}

// --- Code page 437 --------------------------------------------------------

namespace {

// The shape of every byte as a screen shows it. Byte 0 shows as a blank;
// the control range has the glyphs that the code page gives it on screen.
// clang-format off
constexpr char32_t kCp437[256] = {
    // 0x00
    U' ', U'☺', U'☻', U'♥', U'♦', U'♣', U'♠', U'•', U'◘', U'○', U'◙', U'♂', U'♀', U'♪', U'♫', U'☼',
    // 0x10
    U'►', U'◄', U'↕', U'‼', U'¶', U'§', U'▬', U'↨', U'↑', U'↓', U'→', U'←', U'∟', U'↔', U'▲', U'▼',
    // 0x20
    U' ', U'!', U'"', U'#', U'$', U'%', U'&', U'\'', U'(', U')', U'*', U'+', U',', U'-', U'.', U'/',
    // 0x30
    U'0', U'1', U'2', U'3', U'4', U'5', U'6', U'7', U'8', U'9', U':', U';', U'<', U'=', U'>', U'?',
    // 0x40
    U'@', U'A', U'B', U'C', U'D', U'E', U'F', U'G', U'H', U'I', U'J', U'K', U'L', U'M', U'N', U'O',
    // 0x50
    U'P', U'Q', U'R', U'S', U'T', U'U', U'V', U'W', U'X', U'Y', U'Z', U'[', U'\\', U']', U'^', U'_',
    // 0x60
    U'`', U'a', U'b', U'c', U'd', U'e', U'f', U'g', U'h', U'i', U'j', U'k', U'l', U'm', U'n', U'o',
    // 0x70
    U'p', U'q', U'r', U's', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'{', U'|', U'}', U'~', U'⌂',
    // 0x80
    U'Ç', U'ü', U'é', U'â', U'ä', U'à', U'å', U'ç', U'ê', U'ë', U'è', U'ï', U'î', U'ì', U'Ä', U'Å',
    // 0x90
    U'É', U'æ', U'Æ', U'ô', U'ö', U'ò', U'û', U'ù', U'ÿ', U'Ö', U'Ü', U'¢', U'£', U'¥', U'₧', U'ƒ',
    // 0xA0
    U'á', U'í', U'ó', U'ú', U'ñ', U'Ñ', U'ª', U'º', U'¿', U'⌐', U'¬', U'½', U'¼', U'¡', U'«', U'»',
    // 0xB0
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖', U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',
    // 0xC0
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟', U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',
    // 0xD0
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫', U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',
    // 0xE0
    U'α', U'ß', U'Γ', U'π', U'Σ', U'σ', U'µ', U'τ', U'Φ', U'Θ', U'Ω', U'δ', U'∞', U'φ', U'ε', U'∩',
    // 0xF0
    U'≡', U'±', U'≥', U'≤', U'⌠', U'⌡', U'÷', U'≈', U'°', U'∙', U'·', U'√', U'ⁿ', U'²', U'■', U'\u00A0',
};
// clang-format on

// The bytes by the characters they show, for every byte that does not
// show itself, sorted for a binary search. Built by the compiler, it costs
// the running program nothing; a map built at start kept some twenty
// kilobytes of heap for the life of the program.
struct ByteOfGlyph {
  char32_t glyph;
  std::uint8_t byte;
};
constexpr auto kBytesByGlyph = [] {
  std::array<ByteOfGlyph, 0x20 - 1 + 0x100 - 0x7F + 2> table{};
  std::size_t n = 0;
  for (int b = 1; b < 0x100; ++b)
    if (b < 0x20 || b >= 0x7F) table[n++] = {kCp437[b], static_cast<std::uint8_t>(b)};
  table[n++] = {U'β', 0xE1};  // the code page's sharp s doubles as beta
  table[n++] = {U'μ', 0xE6};  // Greek mu and the micro sign share a byte
  std::sort(table.begin(), table.end(), [](const ByteOfGlyph& a, const ByteOfGlyph& b) {
    return a.glyph != b.glyph ? a.glyph < b.glyph : a.byte < b.byte;
  });
  return table;
}();

// The byte that shows `cp`, or -1 for none: ASCII stays itself, control
// characters included, so that text such as line ends survives the round
// trip; a character that two bytes show takes the lower.
int cp437Byte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  const auto* it = std::lower_bound(
      kBytesByGlyph.begin(), kBytesByGlyph.end(), cp,
      [](const ByteOfGlyph& entry, char32_t glyph) { return entry.glyph < glyph; });
  return it != kBytesByGlyph.end() && it->glyph == cp ? it->byte : -1;
}

}  // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
  constexpr char32_t kBad = 0xFFFD;
  const auto lead = static_cast<unsigned char>(s[pos]);
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++pos;
    return kBad;
  }
  if (pos + extra >= s.size()) {
    ++pos;
    return kBad;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(s[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kBad;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kBad;
  }
  pos += extra + 1;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t cp437ToUnicode(std::uint8_t byte) {
  return kCp437[byte];
}

std::string utf8ToCp437(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const int byte = cp437Byte(decodeUtf8(utf8, pos));
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

std::string cp437ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<std::uint8_t>(ch);
    appendUtf8(out, b < 0x80 ? static_cast<char32_t>(b) : kCp437[b]);
  }
  return out;
}

std::string cp437ShapesToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) appendUtf8(out, kCp437[static_cast<std::uint8_t>(ch)]);
  return out;
}

}  // namespace krx
