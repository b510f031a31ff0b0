// The terminal backend's pure layers: the key decoder with time passed in,
// and the painter, whose bytes are played into a small model of a terminal
// and compared with the screen model cell by cell.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/backends/terminal.h"
#include "runtime/console/console.h"
#include "runtime/console/screen.h"

namespace {

using krx::KeyDecoder;

std::vector<int> decodeAll(KeyDecoder& decoder, std::string_view bytes, double at = 0) {
  decoder.feed(bytes, at);
  std::vector<int> keys;
  // Well past any delay: everything pending resolves.
  while (const int key = decoder.next(at + 1)) keys.push_back(key);
  return keys;
}

std::vector<int> decodeAll(std::string_view bytes) {
  KeyDecoder decoder;
  return decodeAll(decoder, bytes);
}

TEST(KeyDecoder, LoneEscapeResolvesAfterItsDelayOnly) {
  KeyDecoder decoder;
  decoder.feed("\x1b", 10.0);
  EXPECT_EQ(decoder.next(10.0), 0);
  EXPECT_DOUBLE_EQ(decoder.deadline(), 10.0 + KeyDecoder::kEscapeDelay);
  EXPECT_EQ(decoder.next(10.0 + KeyDecoder::kEscapeDelay - 0.001), 0);
  EXPECT_EQ(decoder.next(10.0 + KeyDecoder::kEscapeDelay + 0.001), krx::K_ESC);
  EXPECT_LT(decoder.deadline(), 0);

  // The rest of a sequence that comes within the delay makes it one key.
  decoder.feed("\x1b", 20.0);
  decoder.feed("[", 20.005);
  decoder.feed("A", 20.01);
  EXPECT_EQ(decoder.next(20.01), krx::K_UP);
  EXPECT_EQ(decoder.next(30.0), 0);

  // Two Escapes: the first is a key at once, the second waits its turn.
  decoder.feed("\x1b\x1b", 40.0);
  EXPECT_EQ(decoder.next(40.0), krx::K_ESC);
  EXPECT_EQ(decoder.next(40.0), 0);
  EXPECT_EQ(decoder.next(40.03), krx::K_ESC);

  // A character split between reads.
  decoder.feed("\xc3", 50.0);
  EXPECT_EQ(decoder.next(50.0), 0);
  decoder.feed("\xa9", 50.001);
  EXPECT_EQ(decoder.next(50.001), 130);  // é
  // One that never completes is dropped, not taken for something else.
  decoder.feed("\xe2\x96", 60.0);
  EXPECT_EQ(decoder.next(61.0), 0);
  EXPECT_LT(decoder.deadline(), 0);
}

TEST(KeyDecoder, TerminalSequencesBecomeKeyCodes) {
  using V = std::vector<int>;
  const std::pair<const char*, V> cases[] = {
      {"\x1b[A", V{5}},
      {"\x1bOA", V{5}},
      {"\x1b[B", V{24}},
      {"\x1b[D", V{19}},
      {"\x1b[C", V{4}},
      {"\x1b[H", V{1}},
      {"\x1b[F", V{6}},
      {"\x1b[1~", V{1}},
      {"\x1b[4~", V{6}},
      {"\x1b[7~", V{1}},
      {"\x1b[5~", V{18}},
      {"\x1b[6~", V{3}},
      {"\x1b[2~", V{22}},
      {"\x1b[3~", V{7}},
      {"\x1b[Z", V{271}},
      {"\x1b[1;5H", V{29}},
      {"\x1b[7^", V{29}},
      {"\x1b[1;5D", V{26}},
      {"\x1b[1;5C", V{2}},
      {"\x1bOd", V{26}},
      {"\x1b\r", V{284}},
      {"\x1b[13;3u", V{284}},
      {"\x1b[27;5;127~", V{127}},
      {"\x1bOM", V{13}},
      {"\x1bOk", V{'+'}},
      {"\x1bOp", V{'0'}},
      {"\r", V{13}},
      {"\t", V{9}},
      {"\x7f", V{8}},
      {"\x08", V{127}},
      {"\x01\x1a", V{1, 26}},
      {"ab", V{'a', 'b'}},
      {"\xc3\xa9", V{130}},
      {"\xe2\x96\x92", V{177}},
      {"\x1b[A\x1b[B", V{5, 24}},
      {"\x1bx", V{27, 'x'}},
      // Keys without a code are dropped whole, not spelled out as text.
      {"\x1b[15~", V{}},
      {"\x1b[[A", V{}},
      {"\x1bOP", V{}},
      {"\xe2\x82\xac", V{}},
      {"\xe2\x98\xba", V{}},
      {"\x1b[I", V{}},
  };
  for (const auto& [bytes, want] : cases) {
    EXPECT_EQ(decodeAll(bytes), want) << ::testing::PrintToString(std::string(bytes));
  }

  // A terminal whose Backspace sends ^H: then DEL is the other one.
  KeyDecoder controlH({}, 0x08);
  EXPECT_EQ(decodeAll(controlH, "\x08\x7f"), (V{8, 127}));

  // The terminal's own key strings take precedence over the common forms.
  KeyDecoder odd({{"\x1bK", krx::K_END}});
  EXPECT_EQ(decodeAll(odd, "\x1bK"), (V{6}));
}

TEST(KeyDecoder, LeftClicksOnly) {
  KeyDecoder decoder;
  EXPECT_EQ(decodeAll(decoder, "\x1b[<0;12;5M\x1b[<0;12;5m"), std::vector<int>{krx::K_LBUTTONDOWN});
  EXPECT_EQ(decoder.lastClick(), std::make_pair(4, 11));
  // Right button, wheel, motion: nothing.
  EXPECT_TRUE(decodeAll(decoder, "\x1b[<2;1;1M\x1b[<64;1;1M\x1b[<32;1;1M").empty());
  // The older encoding: bytes offset by 32, cells from 1.
  EXPECT_EQ(decodeAll(decoder, "\x1b[M !#"), std::vector<int>{krx::K_LBUTTONDOWN});
  EXPECT_EQ(decoder.lastClick(), std::make_pair(2, 0));
}

TEST(KeyDecoder, TellsSpecialKeysFromControlBytes) {
  // Ctrl-End and Ctrl-W share code 23, Up and Ctrl-E code 5: only how the
  // key arrived tells them apart.
  KeyDecoder decoder;
  decoder.feed("\x1b[1;5F\x17\x1b[A\x05", 1.0);
  EXPECT_EQ(decoder.next(1.0), krx::K_CTRL_END);
  EXPECT_TRUE(decoder.lastWasSequence());
  EXPECT_EQ(decoder.next(1.0), krx::K_CTRL_W);
  EXPECT_FALSE(decoder.lastWasSequence());
  EXPECT_EQ(decoder.next(1.0), krx::K_UP);
  EXPECT_TRUE(decoder.lastWasSequence());
  decoder.dropReady();  // type-ahead dropped: Ctrl-E never arrives
  EXPECT_EQ(decoder.next(1.0), 0);
}

// --- Painting -------------------------------------------------------------------

// Just enough of a terminal to play the painter's output: cursor motion,
// colours, erasing, UTF-8 text with a deferred wrap at the right edge.
class MiniTerminal {
 public:
  struct Cell {
    std::string text = " ";
    int fg = -1, bg = -1;  // -1 is the default colour
    bool bold = false;
  };

  MiniTerminal(int rows, int cols) : rows_(rows), cols_(cols), cells_(rows * cols) {}

  void play(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      if (b == 0x1b) {
        i = escape(bytes, i);
      } else if (b == '\r') {
        col_ = 0, wrap_ = false, ++i;
      } else if (b == '\n') {
        row_ = std::min(row_ + 1, rows_ - 1), ++i;
      } else if (b == '\b') {
        col_ = std::max(col_ - 1, 0), wrap_ = false, ++i;
      } else if (b < 0x20) {
        ++i;
      } else {
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        put(std::string(bytes.substr(i, length)));
        i += length;
      }
    }
  }

  const Cell& at(int row, int col) const { return cells_[row * cols_ + col]; }

 private:
  void put(const std::string& text) {
    if (wrap_) {
      col_ = 0;
      row_ = std::min(row_ + 1, rows_ - 1);
      wrap_ = false;
    }
    cells_[row_ * cols_ + col_] = Cell{text, fg_, bg_, bold_};
    if (col_ == cols_ - 1) {
      wrap_ = true;
    } else {
      ++col_;
    }
  }

  std::size_t escape(std::string_view s, std::size_t i) {
    if (i + 1 >= s.size()) return s.size();
    if (s[i + 1] == '(') return i + 3;                     // character set
    if (s[i + 1] == '=' || s[i + 1] == '>') return i + 2;  // keypad mode
    if (s[i + 1] == 'M') {                                 // reverse index: up a row
      row_ = std::max(row_ - 1, 0), wrap_ = false;
      return i + 2;
    }
    if (s[i + 1] != '[') return i + 2;
    std::size_t j = i + 2;
    std::string params;
    while (j < s.size() && (s[j] < 0x40 || s[j] > 0x7E)) params += s[j++];
    const char final = s[j];
    std::vector<int> n;
    if (params.empty() || params[0] != '?') {
      int v = -1;
      for (const char ch : params) {
        if (ch == ';') {
          n.push_back(v), v = -1;
        } else {
          v = (v < 0 ? 0 : v) * 10 + (ch - '0');
        }
      }
      n.push_back(v);
    }
    const auto arg = [&n](std::size_t k, int fallback) {
      return k < n.size() && n[k] >= 0 ? n[k] : fallback;
    };
    if (final != 'm') wrap_ = false;
    switch (final) {
      case 'H':
        row_ = arg(0, 1) - 1, col_ = arg(1, 1) - 1;
        break;
      case 'A':
        row_ -= arg(0, 1);
        break;
      case 'B':
        row_ += arg(0, 1);
        break;
      case 'C':
        col_ += arg(0, 1);
        break;
      case 'D':
        col_ -= arg(0, 1);
        break;
      case 'G':
        col_ = arg(0, 1) - 1;
        break;
      case 'd':
        row_ = arg(0, 1) - 1;
        break;
      case 'K':
        for (int c = col_; c < cols_; ++c) cells_[row_ * cols_ + c] = Cell{" ", -1, bg_, false};
        break;
      case 'J':
        for (Cell& cell : cells_) cell = Cell{" ", -1, bg_, false};
        break;
      case 'm':
        sgr(n);
        break;
      default:
        break;
    }
    row_ = std::clamp(row_, 0, rows_ - 1);
    col_ = std::clamp(col_, 0, cols_ - 1);
    return j + 1;
  }

  void sgr(const std::vector<int>& n) {
    for (std::size_t k = 0; k < n.size(); ++k) {
      const int v = n[k] < 0 ? 0 : n[k];
      if (v == 0) fg_ = bg_ = -1, bold_ = false;
      if (v == 1) bold_ = true;
      if (v >= 30 && v <= 37) fg_ = v - 30;
      if (v >= 40 && v <= 47) bg_ = v - 40;
      if (v >= 90 && v <= 97) fg_ = v - 90 + 8;
      if (v >= 100 && v <= 107) bg_ = v - 100 + 8;
      if ((v == 38 || v == 48) && k + 2 < n.size() && n[k + 1] == 5) {
        (v == 38 ? fg_ : bg_) = n[k + 2];
        k += 2;
      }
    }
  }

  int rows_, cols_;
  std::vector<Cell> cells_;
  int row_ = 0, col_ = 0;
  bool wrap_ = false;
  int fg_ = -1, bg_ = -1;
  bool bold_ = false;
};

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
::testing::AssertionResult shows(const MiniTerminal& term, const krx::Screen& screen, int top,
                                 int left, int colors) {
  for (int r = 0; r < krx::Screen::kRows; ++r) {
    for (int c = 0; c < krx::Screen::kCols; ++c) {
      const krx::Cell& want = screen.at(r, c);
      const MiniTerminal::Cell& got = term.at(top + r, left + c);
      const bool blank = want.ch == 0 || want.ch == ' ' || want.ch == 0xFF;
      const std::string text = shapeOf(want.ch);
      bool ok = got.text == text;
      if (colors > 0) {
        const int fg = want.attr & 15;
        const int bg = want.attr >> 4;
        const int wantBg = colors == 16 ? kAnsi[bg & 7] + (bg & 8) : kAnsi[bg & 7];
        ok = ok && got.bg == wantBg;
        if (!blank) {
          const int gotFg = colors == 16 ? got.fg : got.fg + (got.bold ? 8 : 0);
          ok = ok && gotFg == kAnsi[fg & 7] + (fg & 8);
        }
      }
      if (!ok) {
        return ::testing::AssertionFailure()
               << "cell (" << r << ", " << c << "): want byte " << int(want.ch) << " attr "
               << int(want.attr) << ", terminal shows \"" << got.text << "\" fg " << got.fg
               << " bg " << got.bg << " bold " << got.bold;
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
  MiniTerminal term(pc.rows, pc.cols);
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
