#include "runtime/backends/painter.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "runtime/backends/blockscale.h"

namespace krx {

namespace {

constexpr char kEsc = '\x1b';

bool isBlank(std::uint8_t ch) {
  return ch == ' ' || ch == 0 || ch == 0xFF;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The UTF-8 shape of a byte, made as it goes out: a table of all 256 would
// be 8 kB of private memory for the life of the program, to save a lookup
// for the few cells a second that change.
void appendGlyph(std::string& out, std::uint8_t ch) {
  if (isBlank(ch))
    out += ' ';
  else
    appendUtf8(out, cp437ToUnicode(ch));
}

// Keeps the shorter of two candidate strings; nullopt means impossible.
void keepShorter(std::optional<std::string>& best, std::optional<std::string> candidate) {
  if (candidate && (!best || candidate->size() < best->size())) best = std::move(candidate);
}

// Code page colour numbers (blue is 1, red is 4) to the terminal's (red 1,
// blue 4).
constexpr int kAnsiColor[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The inside of "ESC [ ... m", or nullopt for any other form.
std::optional<std::string> sgrInner(const std::string& s) {
  if (s.size() < 3 || s[0] != kEsc || s[1] != '[' || s.back() != 'm') return std::nullopt;
  std::string inner = s.substr(2, s.size() - 3);
  if (inner.find(kEsc) != std::string::npos) return std::nullopt;
  return inner;
}

}  // namespace

ScreenPainter::ScreenPainter(TermCaps caps) : caps_(std::move(caps)) {
  layout();
  const int usable = caps_.colors >= 16 ? 16 : caps_.colors >= 8 ? 8 : 0;
  if (usable == 0 || caps_.setaf.empty() || caps_.setab.empty()) {
    caps_.colors = 0;
    return;
  }
  caps_.colors = usable;
  // Colour changes go out as one "ESC [ fg ; bg m" when the terminal's own
  // strings have that form: half the bytes of two separate changes.
  mergeSgr_ = true;
  for (int i = 0; i < 16; ++i) {
    const int index = kAnsiColor[i & 7] + ((i & 8) != 0 && usable == 16 ? 8 : 0);
    fgPart_[i] = TermCaps::param(caps_.setaf, index);
    bgPart_[i] = TermCaps::param(caps_.setab, index);
  }
  for (int i = 0; i < 16 && mergeSgr_; ++i) {
    mergeSgr_ = sgrInner(fgPart_[i]).has_value() && sgrInner(bgPart_[i]).has_value();
  }
  if (mergeSgr_) {
    for (int i = 0; i < 16; ++i) {
      fgPart_[i] = *sgrInner(fgPart_[i]);
      bgPart_[i] = *sgrInner(bgPart_[i]);
    }
  }
}

void ScreenPainter::resize(int rows, int cols) {
  rows_ = std::max(rows, 1);
  cols_ = std::max(cols, 1);
  fits_ = rows_ >= Screen::kRows && cols_ >= Screen::kCols;
  layout();
  invalidate();
}

void ScreenPainter::setFilled(bool on) {
  if (on == filled_) return;
  filled_ = on;
  layout();
  invalidate();
}

void ScreenPainter::layout() {
  // A terminal can claim any size up to 65535 square (`stty rows`); beyond
  // a wall-sized screen the rest is margin, so a frame stays small.
  const int sx = fits_ && filled_ ? std::min(cols_ / Screen::kCols, kMaxScale) : 1;
  const int sy = fits_ && filled_ ? std::min(rows_ / Screen::kRows, kMaxScale) : 1;
  const auto size =
      static_cast<std::size_t>(Screen::kRows * sy) * static_cast<std::size_t>(Screen::kCols * sx);
  want_.assign(size, Cell{});
  front_.assign(size, Cell{});
  known_.assign(size, 0);
  sx_ = sx;
  sy_ = sy;
  gridRows_ = Screen::kRows * sy_;
  gridCols_ = Screen::kCols * sx_;
  top_ = fits_ ? (rows_ - gridRows_) / 2 : 0;
  left_ = fits_ ? (cols_ - gridCols_) / 2 : 0;
  rowScaled_.fill(false);
  fineSerial_ = 0;
  fineTop_ = 0, fineBottom_ = -1;
}

std::optional<std::pair<int, int>> ScreenPainter::screenCellAt(int termRow, int termCol) const {
  const int row = termRow - top_;
  const int col = termCol - left_;
  if (!fits_ || row < 0 || row >= gridRows_ || col < 0 || col >= gridCols_) return std::nullopt;
  return std::make_pair(row / sy_, col / sx_);
}

void ScreenPainter::invalidate() {
  cleared_ = false;
  cursorKnown_ = false;
  cursorShown_ = -1;
  pen_ = Pen{};
}

std::string ScreenPainter::penChange(Attr want, bool blank, Pen& pen) const {
  if (caps_.colors == 0) return {};
  const bool eight = caps_.colors == 8;
  // On a blank the foreground does not show, so it may stay as it is.
  Attr result = want;
  if (blank && pen.known) result = static_cast<Attr>((pen.attr & 0x0F) | (want & 0xF0));
  const int fg = result & 0x0F;
  const int bg = (result >> 4) & (eight ? 0x07 : 0x0F);
  bool needFg = !pen.known || (pen.attr & 0x0F) != fg;
  bool needBg = !pen.known || ((pen.attr >> 4) & (eight ? 0x07 : 0x0F)) != bg;
  if (!needFg && !needBg) return {};

  // With eight colours the bright foregrounds are the bold ones, and bold
  // is only switched off by a full reset.
  const bool wantBold = eight && (fg & 8) != 0;
  const bool penBold = eight && pen.known && (pen.attr & 8) != 0;
  const bool reset = !pen.known || (penBold && !wantBold);
  const bool addBold = wantBold && (reset || !penBold);
  if (reset) needFg = needBg = true;
  const int fgIndex = eight ? (fg & 7) : fg;

  std::string out;
  if (mergeSgr_) {
    std::string inner;
    auto add = [&inner](const std::string& part) {
      if (!inner.empty()) inner += ';';
      inner += part;
    };
    if (reset) add("0");
    if (addBold) add("1");
    if (needFg) add(fgPart_[fgIndex]);
    if (needBg) add(bgPart_[bg]);
    out = "\x1b[" + inner + "m";
  } else {
    if (reset) out += caps_.sgr0;
    if (addBold) out += caps_.bold;
    if (needFg) out += fgPart_[fgIndex];
    if (needBg) out += bgPart_[bg];
  }
  pen.known = true;
  pen.attr = static_cast<Attr>((result & 0x0F) | (bg << 4));
  return out;
}

bool ScreenPainter::sameLook(const Cell& a, const Cell& b) const {
  if (isBlank(a.ch) && isBlank(b.ch)) {
    const int mask = caps_.colors == 8 ? 0x70 : 0xF0;
    return caps_.colors == 0 || (a.attr & mask) == (b.attr & mask);
  }
  return a == b;
}

std::string ScreenPainter::rewrite(int row, int fromCol, int toCol, Pen& pen) const {
  std::string out;
  for (int c = fromCol; c < toCol; ++c) {
    const Cell& cell = want_[static_cast<std::size_t>(row * gridCols_ + c)];
    out += penChange(cell.attr, isBlank(cell.ch), pen);
    appendGlyph(out, cell.ch);
  }
  return out;
}

void ScreenPainter::moveTo(std::string& out, int row, int col) {
  const int tr = top_ + row;
  const int tc = left_ + col;
  if (cursorKnown_ && curRow_ == tr && curCol_ == tc) return;

  std::optional<std::string> best = TermCaps::param(caps_.cup, tr, tc);
  bool rewriting = false;
  Pen rewritePen;
  if (cursorKnown_) {
    // Rows first, then columns; each part takes its cheapest form.
    std::optional<std::string> vertical;
    const int dy = tr - curRow_;
    if (dy == 0) {
      vertical = std::string();
    } else if (dy > 0) {
      if (!caps_.cud1.empty() && dy <= 4) keepShorter(vertical, repeat(caps_.cud1, dy));
      if (!caps_.cud.empty()) keepShorter(vertical, TermCaps::param(caps_.cud, dy));
    } else {
      if (!caps_.cuu1.empty() && -dy <= 4) keepShorter(vertical, repeat(caps_.cuu1, -dy));
      if (!caps_.cuu.empty()) keepShorter(vertical, TermCaps::param(caps_.cuu, -dy));
    }
    if (dy != 0 && !caps_.vpa.empty()) keepShorter(vertical, TermCaps::param(caps_.vpa, tr));

    std::optional<std::string> horizontal;
    const int dx = tc - curCol_;
    if (dx == 0) {
      horizontal = std::string();
    } else if (dx > 0) {
      if (!caps_.cuf1.empty() && dx <= 4) keepShorter(horizontal, repeat(caps_.cuf1, dx));
      if (!caps_.cuf.empty()) keepShorter(horizontal, TermCaps::param(caps_.cuf, dx));
    } else {
      if (!caps_.cub1.empty() && -dx <= 4) keepShorter(horizontal, repeat(caps_.cub1, -dx));
      if (!caps_.cub.empty()) keepShorter(horizontal, TermCaps::param(caps_.cub, -dx));
    }
    if (dx != 0 && !caps_.hpa.empty()) keepShorter(horizontal, TermCaps::param(caps_.hpa, tc));
    if (dx != 0 && !caps_.cr.empty()) {
      if (tc == 0) {
        keepShorter(horizontal, caps_.cr);
      } else if (!caps_.cuf.empty()) {
        keepShorter(horizontal, caps_.cr + TermCaps::param(caps_.cuf, tc));
      }
    }
    if (vertical && horizontal) keepShorter(best, *vertical + *horizontal);

    // Or write the few cells in between again: they already show what the
    // model holds, so printing them costs bytes but changes nothing.
    if (vertical && dx > 0 && dx <= 8 && curCol_ >= left_) {
      Pen pen = pen_;
      std::string candidate = *vertical + rewrite(row, curCol_ - left_, col, pen);
      if (!best || candidate.size() < best->size()) {
        best = std::move(candidate);
        rewriting = true;
        rewritePen = pen;
      }
    }
  }
  out += *best;
  if (rewriting) {
    pen_ = rewritePen;
    for (int c = curCol_ - left_; c < col; ++c) {
      const auto i = static_cast<std::size_t>(row * gridCols_ + c);
      front_[i] = want_[i];
      known_[i] = 1;
    }
  }
  curRow_ = tr;
  curCol_ = tc;
  cursorKnown_ = true;
}

void ScreenPainter::putCell(std::string& out, int row, int col, const Cell& cell) {
  const auto i = static_cast<std::size_t>(row * gridCols_ + col);
  const int tr = top_ + row;
  const int tc = left_ + col;
  front_[i] = cell;
  known_[i] = 1;
  // A terminal that wraps at once would scroll when its last cell is
  // written; that one cell is left as it is.
  if (caps_.am && !caps_.xenl && tr == rows_ - 1 && tc == cols_ - 1) return;
  out += penChange(cell.attr, isBlank(cell.ch), pen_);
  appendGlyph(out, cell.ch);
  curCol_ = tc + 1;
  // At the right edge the terminal's cursor position is its own business
  // (pending wrap); the next move must be absolute.
  if (curCol_ >= cols_) cursorKnown_ = false;
}

void ScreenPainter::clearAll(std::string& out) {
  out += caps_.sgr0;
  out += caps_.clear;
  pen_ = Pen{};
  curRow_ = curCol_ = 0;
  cursorKnown_ = !caps_.clear.empty();
  std::fill(known_.begin(), known_.end(), 0);
  rowClean_.fill(false);
  cleared_ = true;
}

void ScreenPainter::drawNotice(std::string& out) {
  const std::string lines[] = {
      "Please enlarge this window",
      "to at least 80 columns by 25 rows.",
      "(It is now " + std::to_string(cols_) + " by " + std::to_string(rows_) + ".)",
  };
  const int count = static_cast<int>(std::size(lines));
  const int first = std::max(0, (rows_ - count) / 2);
  for (int i = 0; i < count && first + i < rows_; ++i) {
    const std::string text = lines[i].substr(0, static_cast<std::size_t>(cols_));
    const int col = std::max(0, (cols_ - static_cast<int>(text.size())) / 2);
    out += TermCaps::param(caps_.cup, first + i, col);
    out += text;
  }
  cursorKnown_ = false;
  if (cursorShown_ != 0 && !caps_.civis.empty()) {
    out += caps_.civis;
    cursorShown_ = 0;
  }
}

void ScreenPainter::cursorTo(std::string& out, const Screen& screen) {
  if (screen.cursorVisible) {
    // Where the cell's character is drawn.
    const int row = std::clamp(screen.row, 0, Screen::kRows - 1) * sy_ + blockTextRow(sy_);
    const int col = std::clamp(screen.col, 0, Screen::kCols - 1) * sx_;
    moveTo(out, row, col);
    if (cursorShown_ != 1) {
      out += caps_.cnorm;
      cursorShown_ = 1;
    }
  } else if (cursorShown_ != 0) {
    out += caps_.civis;
    cursorShown_ = 0;
  }
}

void ScreenPainter::expandFine(const Screen& screen) {
  // Only where a screen cell takes more than one terminal cell is there
  // anything finer to show.
  const FineRows* fine = sx_ * sy_ > 1 ? screen.fineRows() : nullptr;
  const std::uint64_t serial = fine != nullptr ? fine->serial : 0;
  if (serial == fineSerial_) return;
  fineSerial_ = serial;
  for (int r = fineTop_; r <= fineBottom_; ++r) rowScaled_[static_cast<std::size_t>(r)] = false;
  fineTop_ = 0, fineBottom_ = -1;
  if (fine == nullptr) return;
  const int rows = (fine->bottom - fine->top + 1) * sy_;
  const std::optional<FinePicture> picture = fine->draw(screen, gridCols_, rows);
  if (!picture || picture->cols != gridCols_ || picture->rows != rows ||
      picture->cells.size() !=
          static_cast<std::size_t>(rows) * static_cast<std::size_t>(gridCols_)) {
    return;
  }
  std::copy(picture->cells.begin(), picture->cells.end(),
            want_.begin() + static_cast<std::ptrdiff_t>(fine->top * sy_ * gridCols_));
  fineTop_ = fine->top;
  fineBottom_ = fine->bottom;
  for (int r = fineTop_; r <= fineBottom_; ++r) rowClean_[static_cast<std::size_t>(r)] = false;
}

void ScreenPainter::expand(const Screen& screen) {
  expandFine(screen);
  for (int r = 0; r < Screen::kRows; ++r) {
    if (r >= fineTop_ && r <= fineBottom_) continue;
    auto& scaled = rowScaled_[static_cast<std::size_t>(r)];
    for (int c = 0; c < Screen::kCols; ++c) {
      const Cell& cell = screen.at(r, c);
      Cell& from = expandedFrom_[static_cast<std::size_t>(r * Screen::kCols + c)];
      if (scaled && from == cell) continue;
      from = cell;
      rowClean_[static_cast<std::size_t>(r)] = false;
      if (sx_ == 1 && sy_ == 1) {
        want_[static_cast<std::size_t>(r * gridCols_ + c)] = cell;
      } else {
        scaleCell(cell, sx_, sy_, &want_[static_cast<std::size_t>(r * sy_ * gridCols_ + c * sx_)],
                  gridCols_);
      }
    }
    scaled = true;
  }
}

void ScreenPainter::paintRow(std::string& out, int r, bool eraseLines) {
  const Cell* want = &want_[static_cast<std::size_t>(r * gridCols_)];
  Cell* front = &front_[static_cast<std::size_t>(r * gridCols_)];
  std::uint8_t* known = &known_[static_cast<std::size_t>(r * gridCols_)];
  // Where this row's run of like blanks up to the right edge begins.
  int blankFrom = gridCols_;
  if (eraseLines) {
    const Cell& last = want[gridCols_ - 1];
    while (blankFrom > 0 && isBlank(want[blankFrom - 1].ch) &&
           sameLook(want[blankFrom - 1], last)) {
      --blankFrom;
    }
  }
  for (int c = 0; c < gridCols_; ++c) {
    if (known[c] && sameLook(front[c], want[c])) continue;
    if (c >= blankFrom) {
      int stale = 0;
      for (int k = c; k < gridCols_; ++k) {
        if (!known[k] || !sameLook(front[k], want[k])) ++stale;
      }
      if (stale > static_cast<int>(caps_.el.size())) {
        moveTo(out, r, c);
        out += penChange(want[c].attr, true, pen_);
        out += caps_.el;
        for (int k = c; k < gridCols_; ++k) {
          front[k] = want[k];
          known[k] = 1;
        }
        return;
      }
    }
    moveTo(out, r, c);
    putCell(out, r, c, want[c]);
  }
}

std::string ScreenPainter::paint(const Screen& screen) {
  std::string out;
  const std::array<int, 3> cursor{screen.row, screen.col, screen.cursorVisible ? 1 : 0};
  if (cleared_ && screen.version() == paintedVersion_ && cursor == paintedCursor_) return out;
  if (!fits_) {
    if (!cleared_) {
      clearAll(out);
      drawNotice(out);
    }
    return out;
  }
  if (!cleared_) clearAll(out);
  expand(screen);

  const bool eraseLines = caps_.bce && !caps_.el.empty() && left_ + gridCols_ == cols_;
  for (int r = 0; r < Screen::kRows; ++r) {
    if (rowClean_[static_cast<std::size_t>(r)]) continue;
    for (int k = 0; k < sy_; ++k) paintRow(out, r * sy_ + k, eraseLines);
    rowClean_[static_cast<std::size_t>(r)] = true;
  }
  cursorTo(out, screen);
  paintedVersion_ = screen.version();
  paintedCursor_ = cursor;
  return out;
}

}  // namespace krx
