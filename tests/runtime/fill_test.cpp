// The screen filled out to a large terminal: the painter's bytes are played
// into a terminal emulator, and what it shows is compared with the blocks a
// player should see: block characters scaled exactly, every other character
// once in the middle row of its block, the cursor where its cell is drawn.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "harness/emulator.h"
#include "runtime/backends/painter.h"
#include "runtime/console/screen.h"
#include "support/filled_pictures.h"
#include "support/glyph_pictures.h"

namespace {

using e2e::Emulator;

krx::TermCaps xterm() {
  return krx::TermCaps::load("xterm-256color").value_or(krx::TermCaps{});
}

// Where a terminal of a given size puts the filled screen, worked out by
// hand: blocks of sx by sy cells, the 80*sx by 25*sy of them centred.
struct Layout {
  int rows, cols;
  int sx, sy;
  int top, left;
  int textRow;  // the row of a block where a character stands
};

constexpr Layout kLayouts[] = {
    {50, 160, 2, 2, 0, 0, 1},  {75, 240, 3, 3, 0, 0, 1}, {75, 80, 1, 3, 0, 0, 1},
    {75, 160, 2, 3, 0, 0, 1},  {53, 171, 2, 2, 1, 5, 1}, {100, 320, 4, 4, 0, 0, 2},
    {30, 100, 1, 1, 2, 10, 0}, {25, 80, 1, 1, 0, 0, 0},
};

std::string name(const Layout& l) {
  return std::to_string(l.cols) + "x" + std::to_string(l.rows);
}

// What a stretch of output prints, its control sequences left out.
std::string printed(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0x1b && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      i += 2;
      while (i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7E)) ++i;
    } else if (b >= 0x20) {
      out += bytes[i];
    }
  }
  return out;
}

// Paints `screen` filled into an emulator of the layout's size.
struct Filled {
  explicit Filled(const Layout& l) : painter(xterm()), term(l.rows, l.cols) {
    painter.resize(l.rows, l.cols);
    painter.setFilled(true);
  }
  void show(const krx::Screen& screen) { term.play(painter.paint(screen)); }
  krx::ScreenPainter painter;
  Emulator term;
};

TEST(FilledScreen, LargeTextScalesExactlyAtEverySize) {
  // The blinds and the countdown in the font's own pictures, white on blue.
  const auto blinds = expected::bigRows("25/50");
  const auto clock = expected::bigRows("   12:34");
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.fill(0, 0, 24, 79, krx::makeAttr(15, 1));
  for (int r = 0; r < 6; ++r) {
    screen.write(6 + r, 0, krx::utf8ToCp437(blinds[r]), krx::makeAttr(15, 1));
    screen.write(15 + r, 0, krx::utf8ToCp437(clock[r]), krx::makeAttr(14, 1));
  }
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(name(l));
    Filled f(l);
    f.show(screen);
    EXPECT_EQ(f.painter.scaleX(), l.sx);
    EXPECT_EQ(f.painter.scaleY(), l.sy);
    for (const auto& [top, rows] : {std::pair{6, &blinds}, std::pair{15, &clock}}) {
      const std::vector<std::string> want = expected::filledRows(*rows, l.sx, l.sy);
      for (int k = 0; k < 6 * l.sy; ++k) {
        const int tr = l.top + top * l.sy + k;
        EXPECT_EQ(f.term.cellsText(tr, l.left, 80 * l.sx), want[static_cast<std::size_t>(k)])
            << "terminal row " << tr;
        EXPECT_EQ(f.term.background(tr, l.left + 80 * l.sx - 1).palette(), 4);
      }
    }
    // Nothing of the screen outside its blocks.
    if (l.top > 0) {
      EXPECT_EQ(f.term.background(l.top - 1, l.left).palette(), -1);
    }
    if (l.left > 0) {
      EXPECT_EQ(f.term.background(l.top, l.left - 1).palette(), -1);
    }
  }
}

TEST(FilledScreen, TextStandsOnceInTheMiddleRowOfItsBlockAndTheCursorWithIt) {
  krx::Screen screen;
  screen.fill(0, 0, 24, 79, krx::makeAttr(7, 0));
  screen.write(3, 10, "Ab", krx::makeAttr(14, 2));  // yellow on green
  screen.write(24, 79, "z", krx::makeAttr(15, 4));  // the last cell
  screen.cursorVisible = true;
  screen.row = 3, screen.col = 11;
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(name(l));
    Filled f(l);
    f.show(screen);
    for (int dy = 0; dy < l.sy; ++dy) {
      for (int dx = 0; dx < 2 * l.sx; ++dx) {
        const int tr = l.top + 3 * l.sy + dy;
        const int tc = l.left + 10 * l.sx + dx;
        std::string want = " ";
        if (dy == l.textRow && dx == 0) want = "A";
        if (dy == l.textRow && dx == l.sx) want = "b";
        EXPECT_EQ(f.term.cellText(tr, tc), want) << "block cell (" << dy << ", " << dx << ")";
        EXPECT_EQ(f.term.background(tr, tc).palette(), 2);
      }
    }
    EXPECT_EQ(f.term.cellText(l.top + 24 * l.sy + l.textRow, l.left + 79 * l.sx), "z");
    EXPECT_EQ(f.term.background(l.top + 25 * l.sy - 1, l.left + 80 * l.sx - 1).palette(), 1);
    EXPECT_EQ(f.term.cursor(), std::make_pair(l.top + 3 * l.sy + l.textRow, l.left + 11 * l.sx));
  }
}

TEST(FilledScreen, HalfBlocksShadesAndFramesKeepTheirShape) {
  // Each block character next to its neighbours, and a double frame: at 3
  // by 3 the frame's lines run on through the blocks, closed at every corner.
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.write(0, 0, "\xC9\xCD\xBB", 0x07);
  screen.write(1, 0, "\xBA \xBA", 0x07);
  screen.write(2, 0, "\xC8\xCD\xBC", 0x07);
  screen.write(4, 0, "\xB0\xB2\xDD\xDE\xDF\xDC", 0x07);
  const Layout l = kLayouts[1];  // 240x75
  Filled f(l);
  f.show(screen);
  const std::vector<std::string> want = {
      "         ",  //
      "╔═════╗  ",  //
      "║     ║  ",  //
      "║     ║  ",  //
      "║     ║  ",  //
      "║     ║  ",  //
      "║     ║  ",  //
      "╚═════╝  ",  //
      "         ",  //
  };
  for (int r = 0; r < 9; ++r) EXPECT_EQ(f.term.cellsText(r, 0, 9), want[r]) << "row " << r;
  const std::vector<std::string> blocks = {
      "░░░▓▓▓█▌  ▐████",
      "░░░▓▓▓█▌  ▐█▀▀▀",
      "░░░▓▓▓█▌  ▐█   ",
  };
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(f.term.cellsText(12 + r, 0, 15), blocks[r]) << "row " << 12 + r;
  }
  EXPECT_EQ(f.term.cellsText(12, 15, 3), "   ");
  EXPECT_EQ(f.term.cellsText(13, 15, 3), "▄▄▄");
  EXPECT_EQ(f.term.cellsText(14, 15, 3), "███");
}

TEST(FilledScreen, AChangedCellRewritesOnlyTheTerminalCellsThatChange) {
  const Layout l = kLayouts[1];  // 240x75
  Filled f(l);
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.fill(0, 0, 24, 79, krx::makeAttr(15, 1));
  screen.write(16, 40, "\xDB\xDB\xDC", krx::makeAttr(14, 1));
  screen.write(22, 10, "A", krx::makeAttr(15, 1));
  f.show(screen);
  EXPECT_EQ(f.painter.paint(screen), "");

  // A character in place of another: one terminal cell.
  screen.write(22, 10, "B", krx::makeAttr(15, 1));
  const std::string letter = f.painter.paint(screen);
  f.term.play(letter);
  EXPECT_EQ(printed(letter), "B");
  EXPECT_EQ(f.term.cellText(22 * 3 + 1, 30), "B");

  // A full block gone: its nine cells, three short runs with a cheap move
  // between them (no character of the neighbouring blocks).
  screen.write(16, 41, " ", krx::makeAttr(14, 1));
  const std::string block = f.painter.paint(screen);
  f.term.play(block);
  EXPECT_EQ(printed(block), "         ");
  EXPECT_LT(block.size(), 3u * (3 + 8));
  for (int dy = 0; dy < 3; ++dy) {
    EXPECT_EQ(f.term.cellsText(48 + dy, 120, 9), dy == 0   ? "███      "
                                                 : dy == 1 ? "███   ▄▄▄"
                                                           : "███   ███");
  }
}

TEST(FilledScreen, AltEnterWaysResizesAndTheNotice) {
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.fill(0, 0, 24, 79, krx::makeAttr(15, 1));
  screen.write(10, 0, "\xDB", krx::makeAttr(14, 1));
  krx::ScreenPainter painter(xterm());
  Emulator term(50, 160);
  painter.resize(50, 160);

  // Centred: one cell each, at (12, 40).
  term.play(painter.paint(screen));
  EXPECT_EQ(term.cellText(22, 40), "█");
  EXPECT_EQ(term.background(11, 40).palette(), -1);
  EXPECT_EQ(term.background(12, 40).palette(), 4);

  // Filled: the whole terminal, the block 2 by 2 at (20, 0).
  painter.setFilled(true);
  term.play(painter.paint(screen));
  EXPECT_EQ(term.cellsText(20, 0, 3), "██ ");
  EXPECT_EQ(term.cellsText(21, 0, 3), "██ ");
  EXPECT_EQ(term.background(0, 0).palette(), 4);
  EXPECT_EQ(painter.screenCellAt(21, 1), std::make_pair(10, 0));
  EXPECT_EQ(painter.screenCellAt(49, 159), std::make_pair(24, 79));

  // Larger: 3 by 3; a window too small for the screen: the notice, filled
  // or not; 80x25 again: one cell each.
  painter.resize(75, 240);
  term.resize(75, 240);
  term.play(painter.paint(screen));
  EXPECT_EQ(term.cellsText(32, 0, 4), "███ ");
  painter.resize(20, 70);
  term.resize(20, 70);
  const std::string notice = painter.paint(screen);
  EXPECT_NE(notice.find("Please enlarge this window"), std::string::npos);
  EXPECT_FALSE(painter.screenCellAt(0, 0).has_value());
  painter.resize(25, 80);
  term.resize(25, 80);
  term.play(painter.paint(screen));
  EXPECT_EQ(term.cellsText(10, 0, 2), "█ ");
  EXPECT_EQ(painter.scaleX(), 1);

  // And back to centred at the large size.
  painter.resize(50, 160);
  term.resize(50, 160);
  painter.setFilled(false);
  term.play(painter.paint(screen));
  EXPECT_EQ(term.cellsText(22, 40, 2), "█ ");
  EXPECT_EQ(term.background(0, 0).palette(), -1);

  // A terminal that claims the largest size there is (`stty rows 65535`):
  // the blocks stop growing at 16 by 16 and the rest is margin, so a frame
  // stays a few megabytes rather than gigabytes.
  painter.setFilled(true);
  painter.resize(65535, 65535);
  EXPECT_EQ(painter.scaleX(), 16);
  EXPECT_EQ(painter.scaleY(), 16);
  EXPECT_EQ(painter.top(), (65535 - 25 * 16) / 2);
  EXPECT_EQ(painter.screenCellAt(painter.top() + 10 * 16, painter.left()), std::make_pair(10, 0));
  EXPECT_LT(painter.paint(screen).size(), 8u << 20);
}

// A band of fine rows drawn as a label of the size it was asked for, so a
// test reads off the terminal which size that was; `tag` tells drawings
// apart. Declines below `least` rows.
krx::FineDrawing labelDrawing(const std::string& tag, int least = 1) {
  return [tag, least](const krx::Screen&, int cols, int rows) -> std::optional<krx::FinePicture> {
    if (rows < least) return std::nullopt;
    krx::FinePicture p{cols, rows,
                       std::vector<krx::Cell>(static_cast<std::size_t>(cols * rows),
                                              krx::Cell{' ', krx::makeAttr(14, 4)})};
    const std::string text = tag + std::to_string(cols) + "x" + std::to_string(rows);
    for (std::size_t i = 0; i < text.size(); ++i) {
      p.cells[static_cast<std::size_t>((rows - 1) * cols) + i].ch =
          static_cast<std::uint8_t>(text[i]);
    }
    return p;
  };
}

// The whole terminal of one painter against another's.
void expectSameTerminal(const Emulator& a, const Emulator& b, const Layout& l) {
  for (int r = 0; r < l.rows; ++r) {
    for (int c = 0; c < l.cols; ++c) {
      ASSERT_EQ(a.cellText(r, c), b.cellText(r, c)) << r << ", " << c;
      ASSERT_EQ(a.background(r, c).palette(), b.background(r, c).palette()) << r << ", " << c;
    }
  }
}

TEST(FilledScreen, FineRowsShowTheirOwnPictureUntilTheirRowsChange) {
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(name(l));
    krx::Screen screen;
    screen.cursorVisible = false;
    screen.fill(0, 0, 24, 79, krx::makeAttr(15, 1));
    screen.write(22, 1, "NEXT", krx::makeAttr(15, 1));
    screen.setFineRows(21, 24, labelDrawing("band "));
    Filled f(l);
    f.show(screen);
    // Only where a screen cell takes more than one terminal cell; there the
    // picture's last row is the band's last terminal row.
    const int last = l.top + 25 * l.sy - 1;
    const std::string label = "band " + std::to_string(80 * l.sx) + "x" + std::to_string(4 * l.sy);
    const bool fine = l.sx * l.sy > 1;
    EXPECT_EQ(f.term.cellsText(last, l.left, static_cast<int>(label.size())),
              fine ? label : std::string(label.size(), ' '));
    EXPECT_EQ(f.term.cellText(l.top + 22 * l.sy + l.textRow, l.left + l.sx), fine ? " " : "N");
    EXPECT_EQ(f.term.background(l.top + 21 * l.sy, l.left).palette(), fine ? 1 : 4);  // red : blue

    // A cell of the band's rows written over: the rows as blocks at once,
    // as if there had never been a band.
    screen.write(24, 0, "!", krx::makeAttr(15, 1));
    f.show(screen);
    Filled plain(l);
    krx::Screen without = screen;
    without.clearFineRows();
    plain.show(without);
    expectSameTerminal(f.term, plain.term, l);
    // Given again, the rows show the new band.
    screen.setFineRows(21, 24, labelDrawing("anew "));
    f.show(screen);
    EXPECT_EQ(f.term.cellsText(last, l.left, 5), fine ? "anew " : "!    ");
  }
}

TEST(FilledScreen, FineRowsThatDeclineShowAsBlocksAndChangesCostTheirCells) {
  const Layout l = kLayouts[0];  // 160x50
  krx::Screen screen;
  screen.cursorVisible = false;
  screen.fill(0, 0, 24, 79, krx::makeAttr(15, 1));
  screen.write(22, 1, "NEXT", krx::makeAttr(15, 1));
  Filled f(l);
  Filled plain(l);
  plain.show(screen);

  // A drawing that declines the size.
  screen.setFineRows(21, 24, labelDrawing("band ", 9));
  f.show(screen);
  expectSameTerminal(f.term, plain.term, l);

  // A band given again with one letter changed writes that letter alone.
  screen.setFineRows(21, 24, labelDrawing("band "));
  f.show(screen);
  screen.setFineRows(21, 24, labelDrawing("bend "));
  const std::string bytes = f.painter.paint(screen);
  EXPECT_EQ(printed(bytes), "e");
  screen.setFineRows(21, 24, labelDrawing("bend "));
  EXPECT_EQ(printed(f.painter.paint(screen)), "");
}

// Painting change after change leaves the terminal as one fresh painting of
// the same screen would: nothing stale is left behind by the partial updates.
TEST(FilledScreen, UpdatesAddUpToAFreshPainting) {
  for (const Layout& l : {kLayouts[0], kLayouts[3], kLayouts[4]}) {
    SCOPED_TRACE(name(l));
    Filled running(l);
    krx::Screen screen;
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> row(0, 24), col(0, 79), attr(0, 255), pick(0, 9);
    const std::string bytes = "\xDB\xDC\xDF\xB1 A7:\xCD\xBA";
    for (int pass = 0; pass < 60; ++pass) {
      for (int k = 0; k < 12; ++k) {
        std::string run(static_cast<std::size_t>(pick(rng) + 1), ' ');
        for (char& ch : run) ch = bytes[static_cast<std::size_t>(pick(rng))];
        screen.write(row(rng), col(rng), run, static_cast<krx::Attr>(attr(rng)));
      }
      screen.cursorVisible = pass % 3 != 0;
      screen.row = row(rng), screen.col = col(rng);
      // Now and then a band over some rows, which the writes may overrun.
      if (pass % 5 == 0) {
        const int top = row(rng);
        screen.setFineRows(top, top + pick(rng) % 4, labelDrawing(std::to_string(pass) + ":"));
      }
      running.show(screen);
    }
    Filled fresh(l);
    fresh.show(screen);
    expectSameTerminal(running.term, fresh.term, l);
    EXPECT_EQ(running.term.cursor(), fresh.term.cursor());
  }
}

}  // namespace
