// The painter: its bytes are played into a terminal emulator and what the
// terminal shows is compared with the screen model cell by cell; and what
// it sends for a change.
#include "runtime/backends/painter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "harness/emulator.h"
#include "runtime/console/screen.h"

namespace {

constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// What the terminal should show for a byte: its code page shape in UTF-8.
std::string shapeOf(std::uint8_t ch) {
  if (ch == 0 || ch == ' ' || ch == 0xFF) return " ";
  std::string out;
  krx::appendUtf8(out, krx::cp437ToUnicode(ch));
  return out;
}

krx::TermCaps capsFor(const char* term) {
  return krx::TermCaps::load(term).value_or(krx::TermCaps{});
}

// Compares every screen cell with the terminal cell where it should show.
::testing::AssertionResult shows(const e2e::Emulator& term, const krx::Screen& screen, int top,
                                 int left, int colors) {
  for (int r = 0; r < krx::Screen::kRows; ++r) {
    for (int c = 0; c < krx::Screen::kCols; ++c) {
      const krx::Cell& want = screen.at(r, c);
      const e2e::Emulator::Cell got = term.cell(top + r, left + c);
      const bool blank = want.ch == 0 || want.ch == ' ' || want.ch == 0xFF;
      const std::string text = shapeOf(want.ch);
      bool ok = got.text == text;
      if (colors > 0) {
        const int fg = want.attr & 15;
        const int bg = want.attr >> 4;
        const int wantBg = colors == 16 ? kAnsi[bg & 7] + (bg & 8) : kAnsi[bg & 7];
        ok = ok && got.bg.palette() == wantBg;
        if (!blank) {
          const int fgIndex = got.fg.palette();
          const int gotFg = colors == 16 ? fgIndex : fgIndex + (got.bold ? 8 : 0);
          ok = ok && gotFg == kAnsi[fg & 7] + (fg & 8);
        }
      }
      if (!ok) {
        return ::testing::AssertionFailure()
               << "cell (" << r << ", " << c << "): want byte " << int(want.ch) << " attr "
               << int(want.attr) << ", terminal shows \"" << got.text << "\" fg "
               << got.fg.palette() << " bg " << got.bg.palette() << " bold " << got.bold;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Random edits of the kinds the program makes: text in a colour, blanked
// regions, block characters, the cursor.
void randomEdit(krx::Screen& screen, std::mt19937& rng) {
  std::uniform_int_distribution<int> row(0, krx::Screen::kRows - 1), col(0, krx::Screen::kCols - 1),
      attr(0, 255), kind(0, 9), len(1, 12), byte(0, 255);
  const auto a = static_cast<krx::Attr>(attr(rng));
  switch (kind(rng)) {
    case 0: {
      const int top = row(rng), left = col(rng);
      screen.fill(top, left, std::min(top + len(rng), 24), std::min(left + len(rng) * 4, 79), a);
      break;
    }
    case 1:
      screen.cursorVisible = !screen.cursorVisible;
      screen.row = row(rng), screen.col = col(rng);
      break;
    case 2: {
      std::string blocks;
      for (int i = len(rng); i > 0; --i) blocks += "\xB1\xDB\xDC\xDF "[i % 5];
      screen.write(row(rng), col(rng), blocks, a);
      break;
    }
    case 3: {
      std::string any;
      for (int i = len(rng); i > 0; --i) any += static_cast<char>(byte(rng));
      screen.write(row(rng), col(rng), any, a);
      break;
    }
    default:
      screen.write(row(rng), col(rng), "12:34 LEVEL", a);
      break;
  }
}

struct PainterCase {
  const char* term;
  int rows, cols;
};

class PainterReplay : public ::testing::TestWithParam<PainterCase> {};

TEST_P(PainterReplay, TerminalAlwaysShowsTheModel) {
  const PainterCase& pc = GetParam();
  krx::TermCaps caps = capsFor(pc.term);
  ASSERT_FALSE(caps.cup.empty()) << pc.term;
  const int colors = caps.colors >= 16 ? 16 : caps.colors >= 8 ? 8 : 0;
  krx::ScreenPainter painter(caps);
  painter.resize(pc.rows, pc.cols);
  e2e::Emulator term(pc.rows, pc.cols);
  krx::Screen screen;
  std::mt19937 rng(1234);
  for (int pass = 0; pass < 300; ++pass) {
    for (int k = std::uniform_int_distribution<int>(1, 6)(rng); k > 0; --k) randomEdit(screen, rng);
    const std::string out = painter.paint(screen);
    term.play(out);
    ASSERT_TRUE(shows(term, screen, painter.top(), painter.left(), colors)) << "pass " << pass;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, PainterReplay,
    ::testing::Values(PainterCase{"xterm-256color", 25, 80}, PainterCase{"xterm-256color", 31, 101},
                      PainterCase{"xterm", 25, 80}, PainterCase{"linux", 27, 90},
                      PainterCase{"vt100", 25, 80}, PainterCase{"screen", 25, 80}));

TEST(Painter, WritesOnlyWhatChanged) {
  krx::ScreenPainter painter(capsFor("xterm-256color"));
  painter.resize(25, 80);
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.fill(0, 0, 24, 79, krx::makeAttr(14, 1));
  const std::string first = painter.paint(screen);
  // Blank rows in one colour go out as erased lines, not 2000 blanks.
  EXPECT_LT(first.size(), 400u);
  EXPECT_EQ(painter.paint(screen), "");

  screen.write(10, 20, "\xDB", krx::makeAttr(14, 1));
  EXPECT_EQ(painter.paint(screen), "\x1b[11;21H\xE2\x96\x88");
  // The next cell in another colour: no move, one merged colour change.
  screen.write(10, 21, "\xDC", krx::makeAttr(12, 4));
  EXPECT_EQ(painter.paint(screen), "\x1b[91;41m\xE2\x96\x84");
  // A blank's foreground does not show, so it needs no colour change.
  screen.write(10, 22, " ", krx::makeAttr(1, 4));
  EXPECT_EQ(painter.paint(screen), " ");

  // A visible cursor is placed once and then left alone.
  screen.cursorVisible = true;
  screen.row = 3, screen.col = 7;
  EXPECT_EQ(painter.paint(screen), "\x1b[4;8H\x1b[?12l\x1b[?25h");
  EXPECT_EQ(painter.paint(screen), "");
}

TEST(Painter, SmallWindowShowsANoticeUntilEnlarged) {
  krx::ScreenPainter painter(capsFor("xterm-256color"));
  painter.resize(20, 60);
  EXPECT_FALSE(painter.fits());
  krx::Screen screen;
  screen.write(0, 0, "HELLO", 0x07);
  const std::string notice = painter.paint(screen);
  EXPECT_NE(notice.find("Please enlarge this window"), std::string::npos);
  EXPECT_NE(notice.find("80 columns by 25 rows"), std::string::npos);
  EXPECT_EQ(notice.find("HELLO"), std::string::npos);
  EXPECT_EQ(painter.paint(screen), "");  // shown once, not every pass

  painter.resize(25, 80);
  EXPECT_NE(painter.paint(screen).find("HELLO"), std::string::npos);
}

}  // namespace
