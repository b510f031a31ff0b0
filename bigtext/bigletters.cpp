#include "bigtext/bigletters.h"

#include <array>
#include <string>
#include <vector>

#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/console/screen.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace potclock {

namespace {

struct GlyphSource {
  char ch;
  std::array<const char*, 6> rows;  // UTF-8, as drawn
};

// The font as it looks. Converted once, on first use, to code page 437.
// clang-format off
constexpr GlyphSource kFont[] = {
    {'A', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", "▒▒█ ▒▒█", "▒▒█ ▒▒█", " ▀▀  ▀▀"}},
    {'B', {"▒▒▒▒▒▄ ", "▒▒█▀▒▒▄", "▒▒▒▒▒▒█", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'C', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒█    ", "▒▒█    ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'D', {"▒▒▒▒▒▄ ", "▒▒█▀▒▒█", "▒▒█ ▒▒█", "▒▒█ ▒▒█", "▒▒▒▒▒█▀", " ▀▀▀▀▀ "}},
    {'E', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒▒▒▒▄ ", "▒▒█▀▀▀ ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'F', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒▒▒▒▄ ", "▒▒█▀▀▀ ", "▒▒█    ", " ▀▀    "}},
    {'G', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒█▒▒▒▄", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'H', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", "▒▒█▀▒▒█", "▒▒█ ▒▒█", " ▀▀  ▀▀"}},
    {'I', {"▒▒▄", "▒▒█", "▒▒█", "▒▒█", "▒▒█", " ▀▀"}},
    {'J', {"    ▒▒▄", "    ▒▒█", "    ▒▒█", "▒▒▄ ▒▒█", " ▒▒▒▒█▀", "  ▀▀▀▀ "}},
    {'K', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", "▒▒▒▒▒█▀", "▒▒█▀▒▒▄", "▒▒█ ▒▒█", " ▀▀  ▀▀"}},
    {'L', {"▒▒▄    ", "▒▒█    ", "▒▒█    ", "▒▒█    ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'M', {"▒▒▒▄▄▒▒▒▄", "▒▒█▒▒█▒▒█", "▒▒█ ▀▀▒▒█", "▒▒█   ▒▒█", "▒▒█   ▒▒█", " ▀▀    ▀▀"}},
    {'N', {"▒▒▒▄▄ ▒▒▄", "▒▒█▒▒█▒▒█", "▒▒█ ▀▒▒▒█", "▒▒█   ▒▒█", "▒▒█   ▒▒█", " ▀▀    ▀▀"}},
    {'O', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒█ ▒▒█", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'P', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", "▒▒█▀▀▀▀", "▒▒█    ", " ▀▀    "}},
    {'Q', {"▒▒▒▒▒▒▄ ", "▒▒█▀▒▒█ ", "▒▒█ ▒▒█ ", "▒▒█▒▒▒█ ", "▒▒▒▒█▒▒▄", " ▀▀▀▀ ▀▀"}},
    {'R', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒█▀", "▒▒█▀▒▒▄", "▒▒█ ▒▒█", " ▀▀  ▀▀"}},
    {'S', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒▒▒▒▒▄", " ▀▀▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'T', {"▒▒▒▒▒▒▄", " ▀▒▒█▀▀", "  ▒▒█  ", "  ▒▒█  ", "  ▒▒█  ", "   ▀▀  "}},
    {'U', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", "▒▒█ ▒▒█", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'V', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", "▒▒█ ▒▒█", " ▒▒▒▒█▀", "  ▒▒█▀ ", "   ▀▀  "}},
    {'W', {"▒▒▄   ▒▒▄", "▒▒█   ▒▒█", "▒▒█   ▒▒█", "▒▒█▒▒▄▒▒█", " ▀▒▒▒▒█▀▀", "   ▀▀▀▀  "}},
    {'X', {"▒▒▄ ▒▒▄", " ▒▒▒▒█ ", "  ▒▒█  ", " ▒▒▒▒▄ ", "▒▒█▀▒▒▄", " ▀▀  ▀▀"}},
    {'Y', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", " ▒▒▒▒█▀", "  ▒▒█▀ ", "  ▒▒█  ", "   ▀▀  "}},
    {'Z', {"▒▒▒▒▒▒▄", " ▀▀▒▒█▀", "  ▒▒█  ", " ▒▒█   ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'1', {" ▒▒▒▄  ", "  ▒▒█  ", "  ▒▒█  ", "  ▒▒█  ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'2', {"▒▒▒▒▒▒▄", " ▀▀▀▒▒█", "▒▒▒▒▒▒█", "▒▒█▀▀▀▀", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {'3', {"▒▒▒▒▒▒▄", " ▀▀▀▒▒█", " ▒▒▒▒▒█", "  ▀▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'4', {"▒▒▄ ▒▒▄", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▒▒█", "    ▒▒█", "     ▀▀"}},
    {'5', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒▒▒▒▒▄", " ▀▀▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'6', {"▒▒▒▒▒▒▄", "▒▒█▀▀▀▀", "▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'7', {"▒▒▒▒▒▒▄", " ▀▀▀▒▒█", "    ▒▒█", "    ▒▒█", "    ▒▒█", "     ▀▀"}},
    {'8', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'9', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'0', {"▒▒▒▒▒▒▄", "▒▒█▀▒▒█", "▒▒█ ▒▒█", "▒▒█ ▒▒█", "▒▒▒▒▒▒█", " ▀▀▀▀▀▀"}},
    {'!', {"▒▒▄", "▒▒█", "▒▒█", " ▀▀", "▒▒▄", " ▀▀"}},
    {'.', {"   ", "   ", "   ", "   ", "▒▒▄", " ▀▀"}},
    {',', {"   ", "   ", "   ", "▒▒▄", " ▒█", "  ▀"}},
    {'\'', {"▒▒▄", " ▒█", "  ▀", "   ", "   ", "   "}},
    {'?', {"▒▒▒▒▄", " ▀▀▒█", " ▒▒▒█", "  ▀▀▀", " ▒▒▄ ", "  ▀▀ "}},
    {'-', {"       ", "       ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀", "       ", "       "}},
    {'=', {"       ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀", "       "}},
    {'_', {"       ", "       ", "       ", "       ", "▒▒▒▒▒▒▄", " ▀▀▀▀▀▀"}},
    {' ', {"     ", "     ", "     ", "     ", "     ", "     "}},
    {':', {"▒▒▄", " ▀▀", "   ", "   ", "▒▒▄", " ▀▀"}},
    {'/', {"    ▒▒▄", "   ▒▒█▀", "  ▒▒█▀ ", " ▒▒█▀  ", "▒▒█▀   ", " ▀▀    "}},
    {'\\', {"▒▒▄    ", " ▒▒▄   ", "  ▒▒▄  ", "   ▒▒▄ ", "    ▒▒▄", "     ▀▀"}},
    {'\xFE', {"    ", "    ", "▒▒▒▄", "▒▒▒█", " ▀▀▀", "    "}},
};
// clang-format on

struct Glyph {
  char ch;
  std::array<std::string, 6> rows;  // code page 437 bytes
};

// The glyph table, one for the program, kept by the runtime: empty until the
// first call fills it, then unchanged.
struct GlyphTable {
  std::vector<Glyph> aGlyphs;
};

const std::vector<Glyph>& glyphs() {
  std::vector<Glyph>& aGlyphs = krx::RT().programState.get<GlyphTable>().aGlyphs;
  if (aGlyphs.empty()) {
    aGlyphs.reserve(std::size(kFont));
    for (const GlyphSource& g : kFont) {
      Glyph glyph{g.ch, {}};
      for (int r = 0; r < 6; ++r) glyph.rows[r] = krx::utf8ToCp437(g.rows[r]);
      aGlyphs.push_back(std::move(glyph));
    }
  }
  return aGlyphs;
}

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string BIGLETTERS(std::string_view pcphrase, int pnrow) {
  KRX_ROUTINE("BIGLETTERS");
  if (pnrow < 1 || pnrow > 6) {
    auto e = krx::makeError(krx::EG_BOUND, "Bound error: glyph row out of range", "BIGLETTERS",
                            {krx::Item(pcphrase), krx::Item(pnrow)});
    e->canSubstitute = true;
    krx::Item sub = krx::raiseForResult(e, "");
    return sub.strOr("");
  }
  const auto& table = glyphs();
  std::string result;
  for (char c : pcphrase) {
    for (const Glyph& g : table) {
      if (upper(g.ch) == upper(c)) {
        if (!result.empty()) result += ' ';
        result += g.rows[pnrow - 1];
        break;
      }
    }
  }
  return result;
}

void SAYBIG(int pnrow, std::string_view pcphrase) {
  KRX_ROUTINE("SAYBIG");
  krx::SCROLL(pnrow, 0, pnrow + 5, 79);
  krx::SETPOS(pnrow, 0);
  for (int r = 1; r <= 6; ++r) {
    krx::DEVPOS(pnrow + r - 1, 0);
    krx::DEVOUT(BIGLETTERS(pcphrase, r));
  }
}

}  // namespace potclock
