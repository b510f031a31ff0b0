#include "app/screens/tvband.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/screens/say.h"
#include "app/screens/timertexts.h"
#include "bigtext/bigletters.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"

namespace potclock {

namespace {

constexpr int kFirstRow = 21, kNextRow = 22, kHintRow = 23, kLastRow = 24;
constexpr int kTimeCol = 71;
constexpr std::string_view kBandHeading = "N E X T   L E V E L";
// The heading, the large characters and the hints: what a band needs.
constexpr int kLeast = 8;

// The next level row 22 shows: the large characters and the words beside
// them are not on the screen, so they are kept here, one for the program.
struct ShownNext {
  NextLevel next;
};
NextLevel& shownNext() {
  return krx::RT().programState.get<ShownNext>().next;
}

bool blankRow(const krx::Screen& screen, int row) {
  for (int c = 0; c < krx::Screen::kCols; ++c) {
    const std::uint8_t ch = screen.at(row, c).ch;
    if (ch != ' ' && ch != 0) return false;
  }
  return true;
}

struct Canvas {
  krx::FinePicture& p;
  void put(int row, int col, std::string_view bytes, krx::Attr attr) {
    for (std::size_t i = 0; i < bytes.size() && col + static_cast<int>(i) < p.cols; ++i) {
      p.cells[static_cast<std::size_t>(row * p.cols + col) + i] =
          krx::Cell{static_cast<std::uint8_t>(bytes[i]), attr};
    }
  }
  void big(int top, int col, std::string_view phrase, krx::Attr attr) {
    for (int r = 1; r <= 6; ++r) put(top + r - 1, col, BIGLETTERS(phrase, r), attr);
  }
};

int bigWidth(std::string_view phrase) {
  return static_cast<int>(BIGLETTERS(phrase, 1).size());
}

// Row 23 along the band's last row: each stretch of text at the terminal
// column its first cell has when filled, its letters side by side rather
// than one a block, so the hints stay words; the background as filled.
void hints(Canvas& canvas, const krx::Screen& screen, int row, int sx) {
  for (int t = 0; t < canvas.p.cols; ++t) {
    canvas.put(row, t, " ", screen.at(kHintRow, t / sx).attr);
  }
  const auto blank = [&](int c) {
    return c >= krx::Screen::kCols || screen.at(kHintRow, c).ch == ' ' ||
           screen.at(kHintRow, c).ch == 0;
  };
  for (int c = 0; c < krx::Screen::kCols;) {
    if (blank(c)) {
      ++c;
      continue;
    }
    // A stretch ends at two blanks in a row.
    const int start = c;
    while (c < krx::Screen::kCols && !(blank(c) && blank(c + 1))) ++c;
    for (int k = start; k < c; ++k) {
      const krx::Cell& cell = screen.at(kHintRow, k);
      canvas.put(row, start * sx + (k - start), std::string(1, static_cast<char>(cell.ch)),
                 cell.attr);
    }
  }
}

// The time of day as row 22 shows it, "" when blanked; nullopt when the row
// is not the next level and a time.
std::optional<std::string> timeOnRow(const NextLevel& next, const krx::Screen& screen) {
  const std::string row = screen.rowBytes(kNextRow);
  const std::string lead = " " + std::string(kNextLevel) + next.text;
  if (lead.size() > kTimeCol || row.compare(0, lead.size(), lead) != 0) return std::nullopt;
  const std::size_t timeEnd = kTimeCol + kNoTime.size();
  if (row.find_first_not_of(' ', lead.size()) < kTimeCol ||
      row.find_first_not_of(' ', timeEnd) != std::string::npos) {
    return std::nullopt;
  }
  const std::string time = row.substr(kTimeCol, kNoTime.size());
  if (time == kNoTime) return std::string();
  if (time.find_first_not_of("0123456789:") != std::string::npos) return std::nullopt;
  return time;
}

void declare() {
  krx::SETFINEROWS(kFirstRow, kLastRow,
                   [next = shownNext()](const krx::Screen& s, int cols, int rows) {
                     return drawBand(next, s, cols, rows);
                   });
}

}  // namespace

std::optional<krx::FinePicture> drawBand(const NextLevel& next, const krx::Screen& screen, int cols,
                                         int rows) {
  const int sx = cols / krx::Screen::kCols;
  if (rows < kLeast || sx < 1 || !blankRow(screen, kFirstRow) || !blankRow(screen, kLastRow)) {
    return std::nullopt;
  }
  const std::optional<std::string> shown = timeOnRow(next, screen);
  if (!shown) return std::nullopt;
  const std::string& time = *shown;
  // Both ends one screen cell from the edge, as on row 22, and a screen
  // cell at least between them.
  const int left = sx;
  const int right = (krx::Screen::kCols - 1) * sx;
  std::string heading(kBandHeading);
  if (!next.beside.empty()) heading += "   " + next.beside;
  const int nextWidth = bigWidth(next.large);
  const int timeWidth = time.empty() ? 0 : bigWidth(time);
  if (left + std::max(nextWidth, static_cast<int>(heading.size())) > right) return std::nullopt;
  if (timeWidth > 0 && left + nextWidth + sx > right - timeWidth) return std::nullopt;

  const krx::Attr attr = screen.at(kNextRow, 0).attr;
  krx::FinePicture picture{cols, rows, {}};
  picture.cells.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows),
                       krx::Cell{' ', attr});
  Canvas canvas{picture};
  // The heading and the large characters in the middle of the rows above
  // the hints.
  const int top = (rows - 1 - 7) / 2;
  canvas.put(top, left, heading, attr);
  canvas.big(top + 1, left, next.large, attr);
  if (timeWidth > 0) canvas.big(top + 1, right - timeWidth, time, attr);
  hints(canvas, screen, rows - 1, sx);
  return picture;
}

void showNextLevel(const NextLevel& next) {
  shownNext() = next;
  say(kNextRow, 1, std::string(kNextLevel) + next.text);
  declare();
}

void showTimeOfDay() {
  say(kNextRow, kTimeCol, krx::TIME());
  declare();
}

void hideTimeOfDay() {
  say(kNextRow, kTimeCol, kNoTime);
  declare();
}

void showBand() {
  declare();
}

void dropBand() {
  krx::SETFINEROWS();
}

}  // namespace potclock
