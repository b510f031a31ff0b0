// Draws the running timer as the players see it, into an SVG picture for
// the README. The program runs on the headless backend: an organiser's keys
// are scripted, and the picture is taken from the screen model at a chosen
// moment of the countdown.
//
//   screenshot OUT.svg
//   screenshot --filled COLSxROWS OUT.svg   the screen filled out to a
//                                           terminal of that size (Alt-Enter)
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "frame/entry.h"
#include "runtime/backends/blockscale.h"
#include "runtime/backends/headless.h"
#include "runtime/console/screen.h"

namespace {

// The sixteen colours of the attribute nibbles.
constexpr const char* kPalette[16] = {
    "#000000", "#0000AA", "#00AA00", "#00AAAA", "#AA0000", "#AA00AA", "#AA5500", "#AAAAAA",
    "#555555", "#5555FF", "#55FF55", "#55FFFF", "#FF5555", "#FF55FF", "#FFFF55", "#FFFFFF"};
constexpr int kCellW = 10;
constexpr int kCellH = 20;

std::string escapeXml(char32_t cp) {
  switch (cp) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    default:
      break;
  }
  std::string out;
  krx::appendUtf8(out, cp);
  return out;
}

// Terminal cells, row by row.
struct Grid {
  int rows = 0, cols = 0;
  std::vector<krx::Cell> cells;
  const krx::Cell& at(int r, int c) const { return cells[static_cast<std::size_t>(r * cols + c)]; }
};

// The terminal cells that show the screen: one each, or filled out with
// blocks of sx by sy.
Grid gridOf(const krx::Screen& s, int sx, int sy) {
  Grid g{krx::Screen::kRows * sy, krx::Screen::kCols * sx, {}};
  g.cells.resize(static_cast<std::size_t>(g.rows * g.cols));
  for (int r = 0; r < krx::Screen::kRows; ++r) {
    for (int c = 0; c < krx::Screen::kCols; ++c) {
      krx::scaleCell(s.at(r, c), sx, sy,
                     &g.cells[static_cast<std::size_t>(r * sy * g.cols + c * sx)], g.cols);
    }
  }
  return g;
}

// Block characters are drawn as shapes, so that they join up whatever font
// the viewer has. Runs of one colour and shape share a rectangle. The
// picture is `scale` times the cells' own size.
std::string svgOf(const Grid& s, double scale) {
  std::ostringstream o;
  o << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << s.cols * kCellW * scale
    << "\" height=\"" << s.rows * kCellH * scale << "\"";
  // Scaled down, rows meet between pixels: without crisp edges a viewer
  // smooths each seam into a thin line across the picture.
  if (scale != 1)
    o << " viewBox=\"0 0 " << s.cols * kCellW << " " << s.rows * kCellH
      << "\" shape-rendering=\"crispEdges\"";
  o << " font-family=\"monospace\" font-size=\"" << kCellH * 0.8 << "\">\n";
  auto rect = [&](int col, int row, int cells, int dy, int h, const char* fill, double opacity) {
    o << "<rect x=\"" << col * kCellW << "\" y=\"" << row * kCellH + dy << "\" width=\""
      << cells * kCellW << "\" height=\"" << h << "\" fill=\"" << fill << "\"";
    if (opacity < 1) o << " fill-opacity=\"" << opacity << "\"";
    o << "/>";
  };
  for (int r = 0; r < s.rows; ++r) {
    for (int c = 0; c < s.cols;) {  // backgrounds
      int end = c;
      while (end < s.cols && s.at(r, end).attr >> 4 == s.at(r, c).attr >> 4) ++end;
      rect(c, r, end - c, 0, kCellH, kPalette[s.at(r, c).attr >> 4], 1);
      c = end;
    }
    for (int c = 0; c < s.cols;) {  // shapes and characters
      const krx::Cell& cell = s.at(r, c);
      int end = c + 1;
      while (end < s.cols && s.at(r, end) == cell) ++end;
      const char* fg = kPalette[cell.attr & 15];
      switch (cell.ch) {
        case 219:
          rect(c, r, end - c, 0, kCellH, fg, 1);
          break;
        case 220:
          rect(c, r, end - c, kCellH / 2, kCellH / 2, fg, 1);
          break;
        case 223:
          rect(c, r, end - c, 0, kCellH / 2, fg, 1);
          break;
        case 176:
          rect(c, r, end - c, 0, kCellH, fg, 0.25);
          break;
        case 177:
          rect(c, r, end - c, 0, kCellH, fg, 0.5);
          break;
        case 178:
          rect(c, r, end - c, 0, kCellH, fg, 0.75);
          break;
        case ' ':
          break;
        default:
          for (int k = c; k < end; ++k)
            o << "<text x=\"" << k * kCellW << "\" y=\"" << r * kCellH + kCellH * 0.8
              << "\" fill=\"" << fg << "\">" << escapeXml(krx::cp437ToUnicode(cell.ch))
              << "</text>";
      }
      c = end;
    }
    o << "\n";
  }
  o << "</svg>\n";
  return o.str();
}

int usage(const char* self) {
  std::fprintf(stderr, "usage: %s [--filled COLSxROWS] OUT.svg\n", self);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int sx = 1, sy = 1;
  if (argc == 4 && std::string(argv[1]) == "--filled") {
    int cols = 0, rows = 0;
    char x = 0, extra = 0;
    if (std::sscanf(argv[2], "%d%c%d%c", &cols, &x, &rows, &extra) != 3 || x != 'x' ||
        cols < krx::Screen::kCols || rows < krx::Screen::kRows || cols > 1000 || rows > 500)
      return usage(argv[0]);
    sx = cols / krx::Screen::kCols;
    sy = rows / krx::Screen::kRows;
  } else if (argc != 2) {
    return usage(argv[0]);
  }
  const std::string out = argv[argc - 1];
  // A filled picture is shown half as wide again as the plain one, its text
  // small beside the blocks, as on a large screen seen from a table.
  const double scale = sx == 1 ? 1.0 : 1.5 / sx;
  // The picture's game is no one's to resume.
  ::setenv("XDG_STATE_HOME", "/nonexistent/potclock-screenshot", 1);
  bool taken = false;
  potclock::EntryHooks hooks;
  hooks.backend = [&]() -> std::unique_ptr<krx::Backend> {
    auto hl = std::make_unique<krx::HeadlessBackend>();
    hl->setLocalTime({2026, 12, 7, 21, 17, 0});
    // Manual mode: level 18, 20 minutes a level, by minutes; then any key.
    double t = 0;
    for (char c : std::string("m18\r20\rm ")) hl->keyAt(t += 0.5, static_cast<unsigned char>(c));
    hl->onWait = [&taken, out, sx, sy, scale](krx::HeadlessBackend& h, const krx::Screen& s) {
      // 7 minutes 26 seconds into the level: 12:34 left.
      if (h.now() >= 5 + 445) {
        if (!taken) std::ofstream(out) << svgOf(gridOf(s, sx, sy), scale);
        taken = true;
        // Ends the program the way a test script that has run out does,
        // as a hang-up ends it: every wait from here on.
        throw krx::ScriptExhausted{};
      }
    };
    return hl;
  };
  potclock::processEntry(hooks);
  if (taken) return 0;
  std::fprintf(stderr, "screenshot: the timer ended before the picture was taken\n");
  return 1;
}
