// Draws the running timer as the players see it, into an SVG picture for
// the README. The program runs on the headless backend: an organiser's keys
// are scripted, and the picture is taken from the screen model at a chosen
// moment of the countdown.
//
//   screenshot OUT.svg
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "frame/entry.h"
#include "runtime/headless.h"
#include "runtime/screen.h"

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

// Block characters are drawn as shapes, so that they join up whatever font
// the viewer has. Runs of one colour and shape share a rectangle.
std::string svgOf(const krx::Screen& s) {
  std::ostringstream o;
  o << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << krx::Screen::kCols * kCellW
    << "\" height=\"" << krx::Screen::kRows * kCellH << "\" font-family=\"monospace\" font-size=\""
    << kCellH * 0.8 << "\">\n";
  auto rect = [&](int col, int row, int cells, int dy, int h, const char* fill, double opacity) {
    o << "<rect x=\"" << col * kCellW << "\" y=\"" << row * kCellH + dy << "\" width=\""
      << cells * kCellW << "\" height=\"" << h << "\" fill=\"" << fill << "\"";
    if (opacity < 1) o << " fill-opacity=\"" << opacity << "\"";
    o << "/>";
  };
  for (int r = 0; r < krx::Screen::kRows; ++r) {
    for (int c = 0; c < krx::Screen::kCols;) {  // backgrounds
      int end = c;
      while (end < krx::Screen::kCols && s.at(r, end).attr >> 4 == s.at(r, c).attr >> 4) ++end;
      rect(c, r, end - c, 0, kCellH, kPalette[s.at(r, c).attr >> 4], 1);
      c = end;
    }
    for (int c = 0; c < krx::Screen::kCols;) {  // shapes and characters
      const krx::Cell& cell = s.at(r, c);
      int end = c + 1;
      while (end < krx::Screen::kCols && s.at(r, end) == cell) ++end;
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

struct Taken {};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.svg\n", argv[0]);
    return 2;
  }
  std::string out = argv[1];
  potclock::EntryHooks hooks;
  hooks.backend = [&]() -> std::unique_ptr<krx::Backend> {
    auto hl = std::make_unique<krx::HeadlessBackend>();
    hl->setLocalTime({2026, 12, 7, 21, 17, 0});
    // Manual mode: level 18, 20 minutes a level, by minutes; then any key.
    double t = 0;
    for (char c : std::string("m18\r20\rm ")) hl->keyAt(t += 0.5, static_cast<unsigned char>(c));
    hl->onWait = [out](krx::HeadlessBackend& h, const krx::Screen& s) {
      // 7 minutes 26 seconds into the level: 12:34 left.
      if (h.now() >= 5 + 445) {
        std::ofstream(out) << svgOf(s);
        throw Taken{};
      }
    };
    return hl;
  };
  try {
    potclock::processEntry(hooks);
  } catch (const Taken&) {
    return 0;
  }
  std::fprintf(stderr, "screenshot: the timer ended before the picture was taken\n");
  return 1;
}
