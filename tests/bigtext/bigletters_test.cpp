#include <gtest/gtest.h>

#include "bigtext/bigletters.h"
#include "runtime/console/screen.h"
#include "runtime/lang/compiler.h"
#include "support/glyph_pictures.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

std::string row(std::string_view phrase, int r) {
  return krx::cp437ToUtf8(BIGLETTERS(phrase, r));
}

// Row r (1 to 6) of the phrase's picture, without padding.
std::string picture(std::string_view phrase, int r) {
  return expected::bigRows(phrase, 0)[static_cast<std::size_t>(r - 1)];
}

TEST(BigLetters, EveryGlyphRowMatchesItsPicture) {
  TestRuntime t;
  for (const expected::GlyphPicture& g : expected::kGlyphs) {
    const std::string ch(1, g.ch);
    for (int r = 1; r <= 6; ++r) {
      EXPECT_EQ(row(ch, r), g.rows[static_cast<std::size_t>(r - 1)])
          << "glyph '" << ch << "' (code " << int(static_cast<unsigned char>(g.ch)) << ") row "
          << r;
    }
  }
  // The whole font in one phrase: no glyph lost or shadowed by another.
  std::string all;
  for (const expected::GlyphPicture& g : expected::kGlyphs) all += g.ch;
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(row(all, r), picture(all, r)) << "row " << r;
}

TEST(BigLetters, Examples) {
  TestRuntime t;
  EXPECT_EQ(row("AB", 1), "▒▒▒▒▒▒▄ ▒▒▒▒▒▄ ");
  EXPECT_EQ(BIGLETTERS("AB", 1).size(), 15u);
  for (int r = 1; r <= 6; ++r) {
    // Lower case is drawn with the capitals.
    EXPECT_EQ(row("potclock", r), picture("POTCLOCK", r)) << r;
    // Characters outside the font contribute nothing, not even a blank.
    EXPECT_EQ(row("1(2#", r), picture("12", r)) << r;
    EXPECT_EQ(BIGLETTERS("#", r), "");
    EXPECT_EQ(BIGLETTERS("", r), "");
  }
  // The "-" glyph has its lower-half row in row 4, rows 5 and 6 blank.
  EXPECT_EQ(row("-----", 4), " ▀▀▀▀▀▀  ▀▀▀▀▀▀  ▀▀▀▀▀▀  ▀▀▀▀▀▀  ▀▀▀▀▀▀");
  EXPECT_EQ(BIGLETTERS("-----", 1), std::string(39, ' '));
  EXPECT_EQ(BIGLETTERS("-----", 6), std::string(39, ' '));
  EXPECT_EQ(BIGLETTERS("5000/10000", 1).size(), 79u);
  // A word gap is seven columns: separator, blank glyph, separator.
  EXPECT_EQ(BIGLETTERS("I I", 1).size(), 3u + 7u + 3u);
}

TEST(BigLetters, GlyphsAreCodePageBytes) {
  TestRuntime t;
  std::string bytes = BIGLETTERS("A", 1) + BIGLETTERS("A", 2) + BIGLETTERS("A", 6);
  for (unsigned char c : bytes)
    EXPECT_TRUE(c == ' ' || c == 177 || c == 219 || c == 220 || c == 223);
  EXPECT_EQ(BIGLETTERS("\xFE", 4), "\xB1\xB1\xB1\xDB");
}

TEST(BigLetters, RowOutsideTheGlyphIsABoundError) {
  TestRuntime t;
  int code = 0;
  krx::ERRORBLOCK(krx::Item(krx::makeBlock("{|e| Break(e)}", [&](std::span<const krx::Item> a) {
    code = static_cast<int>(a[0].as<krx::Error>()->genCode.numOr(0));
    krx::BREAK(a[0]);
    return krx::Item();
  })));
  // Reached by name, as text compiled at run time reaches it.
  krx::BlockRef b = krx::compileBlock("{|s, n| BigLetters(s, n)}");
  EXPECT_EQ(krx::cp437ToUtf8(b->eval({"AB", 1}).strOr("")), "▒▒▒▒▒▒▄ ▒▒▒▒▒▄ ");
  for (int bad : {0, 7, -1}) {
    bool broke = false;
    krx::sequence([&] { b->eval({"AB", bad}); }, [&](const krx::Item&) { broke = true; });
    EXPECT_TRUE(broke) << bad;
    EXPECT_EQ(code, krx::EG_BOUND);
  }
}

TEST(SayBig, BlanksOnlyItsBand) {
  TestRuntime t;
  krx::SETCOLOR("\"G+/B,W+/Y,R+/W+,,W+/BG\"");
  krx::SCROLL();
  SAYBIG(6, "1000/2000");
  SAYBIG(15, "   10:00");
  // The six rows top to bottom from the given row, each from column 0.
  const auto blinds = expected::bigRows("1000/2000");
  const auto time = expected::bigRows("   10:00");
  for (int r = 0; r < 6; ++r) {
    EXPECT_EQ(t.rowText(6 + r), blinds[static_cast<std::size_t>(r)]) << "row " << 6 + r;
    EXPECT_EQ(t.rowText(15 + r), time[static_cast<std::size_t>(r)]) << "row " << 15 + r;
  }
  std::vector<std::string> before;
  for (int r = 0; r < 25; ++r) before.push_back(t.rowText(r));
  krx::SETCOLOR("\"GR+/G,W+/GB,W/B,,B/W\"");
  SAYBIG(10, "  PAUSED");
  for (int r = 0; r < 25; ++r) {
    if (r >= 10 && r <= 15) {
      // The whole band takes the colour, not only the glyphs.
      for (int c = 0; c < 80; ++c) ASSERT_EQ(t.attrAt(r, c), krx::makeAttr(14, 2)) << r << "," << c;
    } else {
      EXPECT_EQ(t.rowText(r), before[static_cast<std::size_t>(r)]) << "row " << r;
    }
  }
  const auto paused = expected::bigRows("  PAUSED");
  for (int r = 0; r < 6; ++r) EXPECT_EQ(t.rowText(10 + r), paused[static_cast<std::size_t>(r)]);
  // A phrase without glyphs leaves the band blank.
  SAYBIG(10, "((");
  for (int r = 10; r <= 15; ++r) EXPECT_EQ(t.rowText(r), std::string(80, ' '));
}

}  // namespace
}  // namespace potclock
