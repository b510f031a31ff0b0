#include "runtime/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "runtime/console.h"
#include "runtime/error.h"
#include "runtime/events.h"
#include "runtime/startup.h"

// The terminfo routines, declared here rather than through <term.h>: that
// header defines a macro for every capability name (`bell`, `lines`,
// `columns`, ...), which would rewrite ordinary identifiers in this file.
extern "C" {
int setupterm(const char* term, int fd, int* errret);
char* tigetstr(const char* capname);
int tigetnum(const char* capname);
int tigetflag(const char* capname);
char* tiparm(const char* str, ...);
struct term;
term* set_curterm(term* terminal);
int del_curterm(term* terminal);
}

namespace krx {

namespace {

// Codes of keys that the Key table leaves out, in the same numbering.
constexpr int K_CTRL_PGUP = 31;
constexpr int K_CTRL_PGDN = 30;

constexpr char kEsc = '\x1b';
constexpr const char* kMouseOn = "\x1b[?1000h\x1b[?1006h";
constexpr const char* kMouseOff = "\x1b[?1006l\x1b[?1000l";

// terminfo padding ("$<5>") is for hardware terminals that needed delays;
// nothing here is that slow, and the bytes would show on screen.
std::string stripPadding(const char* s) {
  std::string out;
  if (s == nullptr) return out;
  for (const char* p = s; *p != '\0'; ++p) {
    if (p[0] == '$' && p[1] == '<') {
      const char* close = std::strchr(p, '>');
      if (close != nullptr) {
        p = close;
        continue;
      }
    }
    out += *p;
  }
  return out;
}

std::string capString(const char* name) {
  char* s = tigetstr(name);
  if (s == nullptr || s == reinterpret_cast<char*>(-1)) return {};
  return stripPadding(s);
}

bool isBlank(std::uint8_t ch) {
  return ch == ' ' || ch == 0 || ch == 0xFF;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Keeps the shorter of two candidate strings; nullopt means impossible.
void keepShorter(std::optional<std::string>& best, std::optional<std::string> candidate) {
  if (candidate && (!best || candidate->size() < best->size())) best = std::move(candidate);
}

}  // namespace

// --- Capabilities -------------------------------------------------------------

std::optional<TermCaps> TermCaps::load(const std::string& name, int fd) {
  int status = 0;
  if (setupterm(name.c_str(), fd, &status) != 0 || status != 1) return std::nullopt;
  TermCaps c;
  c.cup = capString("cup");
  c.cuf = capString("cuf");
  c.cuf1 = capString("cuf1");
  c.cub = capString("cub");
  c.cub1 = capString("cub1");
  c.cud = capString("cud");
  c.cud1 = capString("cud1");
  c.cuu = capString("cuu");
  c.cuu1 = capString("cuu1");
  c.vpa = capString("vpa");
  c.hpa = capString("hpa");
  c.cr = capString("cr");
  c.el = capString("el");
  c.clear = capString("clear");
  c.sgr0 = capString("sgr0");
  c.setaf = capString("setaf");
  c.setab = capString("setab");
  c.bold = capString("bold");
  c.civis = capString("civis");
  c.cnorm = capString("cnorm");
  c.smcup = capString("smcup");
  c.rmcup = capString("rmcup");
  c.smkx = capString("smkx");
  c.rmkx = capString("rmkx");
  c.bel = capString("bel");
  c.colors = std::max(tigetnum("colors"), 0);
  c.lines = std::max(tigetnum("lines"), 0);
  c.cols = std::max(tigetnum("cols"), 0);
  c.bce = tigetflag("bce") > 0;
  c.am = tigetflag("am") > 0;
  c.xenl = tigetflag("xenl") > 0;
  c.mouse = !capString("kmous").empty();

  // What the keys send in this terminal; the decoder also knows the common
  // forms, so these matter for terminals that differ from them.
  static const std::pair<const char*, int> kKeyCaps[] = {
      {"kcuu1", K_UP},        {"kcud1", K_DOWN},       {"kcub1", K_LEFT},
      {"kcuf1", K_RIGHT},     {"khome", K_HOME},       {"kend", K_END},
      {"kpp", K_PGUP},        {"knp", K_PGDN},         {"kich1", K_INS},
      {"kdch1", K_DEL},       {"kcbt", K_SH_TAB},      {"kent", K_ENTER},
      {"kLFT5", K_CTRL_LEFT}, {"kRIT5", K_CTRL_RIGHT}, {"kHOM5", K_CTRL_HOME},
      {"kEND5", K_CTRL_END},  {"kPRV5", K_CTRL_PGUP},  {"kNXT5", K_CTRL_PGDN},
  };
  for (const auto& [name, code] : kKeyCaps) {
    std::string seq = capString(name);
    if (seq.size() >= 2 && seq[0] == kEsc) c.keys.emplace_back(std::move(seq), code);
  }
  // Everything needed is copied out; expanding parameters needs no entry.
  del_curterm(set_curterm(nullptr));
  return c;
}

std::string TermCaps::param(const std::string& cap, int a) {
  if (cap.empty()) return {};
  return stripPadding(tiparm(cap.c_str(), a));
}

std::string TermCaps::param(const std::string& cap, int a, int b) {
  if (cap.empty()) return {};
  return stripPadding(tiparm(cap.c_str(), a, b));
}

// --- Painting -------------------------------------------------------------------

namespace {

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
  for (int b = 0; b < 256; ++b) {
    const auto ch = static_cast<std::uint8_t>(b);
    if (isBlank(ch)) {
      glyphs_[b] = " ";
    } else {
      appendUtf8(glyphs_[b], cp437ToUnicode(ch));
    }
  }
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
  top_ = fits_ ? (rows_ - Screen::kRows) / 2 : 0;
  left_ = fits_ ? (cols_ - Screen::kCols) / 2 : 0;
  invalidate();
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

std::string ScreenPainter::rewrite(const Screen& screen, int row, int fromCol, int toCol,
                                   Pen& pen) const {
  std::string out;
  for (int c = fromCol; c < toCol; ++c) {
    const Cell& cell = screen.at(row, c);
    out += penChange(cell.attr, isBlank(cell.ch), pen);
    out += glyphs_[cell.ch];
  }
  return out;
}

void ScreenPainter::moveTo(std::string& out, const Screen& screen, int row, int col) {
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
      std::string candidate = *vertical + rewrite(screen, row, curCol_ - left_, col, pen);
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
      const int i = row * Screen::kCols + c;
      front_[i] = screen.at(row, c);
      known_[i] = true;
    }
  }
  curRow_ = tr;
  curCol_ = tc;
  cursorKnown_ = true;
}

void ScreenPainter::putCell(std::string& out, int row, int col, const Cell& cell) {
  const int i = row * Screen::kCols + col;
  const int tr = top_ + row;
  const int tc = left_ + col;
  front_[i] = cell;
  known_[i] = true;
  // A terminal that wraps at once would scroll when its last cell is
  // written; that one cell is left as it is.
  if (caps_.am && !caps_.xenl && tr == rows_ - 1 && tc == cols_ - 1) return;
  out += penChange(cell.attr, isBlank(cell.ch), pen_);
  out += glyphs_[cell.ch];
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
  known_.fill(false);
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
    const int row = std::clamp(screen.row, 0, Screen::kRows - 1);
    const int col = std::clamp(screen.col, 0, Screen::kCols - 1);
    moveTo(out, screen, row, col);
    if (cursorShown_ != 1) {
      out += caps_.cnorm;
      cursorShown_ = 1;
    }
  } else if (cursorShown_ != 0) {
    out += caps_.civis;
    cursorShown_ = 0;
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

  const bool eraseLines = caps_.bce && !caps_.el.empty() && left_ + Screen::kCols == cols_;
  for (int r = 0; r < Screen::kRows; ++r) {
    // Where this row's run of like blanks up to the right edge begins.
    int blankFrom = Screen::kCols;
    if (eraseLines) {
      const Cell& last = screen.at(r, Screen::kCols - 1);
      while (blankFrom > 0 && isBlank(screen.at(r, blankFrom - 1).ch) &&
             sameLook(screen.at(r, blankFrom - 1), last)) {
        --blankFrom;
      }
    }
    for (int c = 0; c < Screen::kCols; ++c) {
      const int i = r * Screen::kCols + c;
      const Cell& want = screen.at(r, c);
      if (known_[i] && sameLook(front_[i], want)) continue;
      if (c >= blankFrom) {
        int stale = 0;
        for (int k = c; k < Screen::kCols; ++k) {
          const int j = r * Screen::kCols + k;
          if (!known_[j] || !sameLook(front_[j], screen.at(r, k))) ++stale;
        }
        if (stale > static_cast<int>(caps_.el.size())) {
          moveTo(out, screen, r, c);
          out += penChange(want.attr, true, pen_);
          out += caps_.el;
          for (int k = c; k < Screen::kCols; ++k) {
            front_[r * Screen::kCols + k] = screen.at(r, k);
            known_[r * Screen::kCols + k] = true;
          }
          break;
        }
      }
      moveTo(out, screen, r, c);
      putCell(out, r, c, want);
    }
  }
  cursorTo(out, screen);
  paintedVersion_ = screen.version();
  paintedCursor_ = cursor;
  return out;
}

// --- Keys -----------------------------------------------------------------------

int unicodeKey(char32_t cp) {
  if (cp >= 32 && cp < 127) return static_cast<int>(cp);
  if (cp < 0xA0 || cp > 0x10FFFF) return 0;
  std::string utf8;
  appendUtf8(utf8, cp);
  const std::string mapped = utf8ToCp437(utf8);
  // Only the upper half: a typed symbol whose code page byte is a control
  // code (the smiley is byte 1) must not arrive as a Ctrl key.
  if (mapped.size() != 1 || static_cast<unsigned char>(mapped[0]) < 0x80) return 0;
  return static_cast<unsigned char>(mapped[0]);
}

KeyDecoder::KeyDecoder(std::vector<std::pair<std::string, int>> sequences, unsigned char eraseByte)
    : sequences_(std::move(sequences)), eraseByte_(eraseByte == 0x08 ? 0x08 : 0x7f) {}

void KeyDecoder::feed(std::string_view bytes, double now) {
  if (bytes.empty()) return;
  if (pending_.empty()) pendingSince_ = now;
  pending_ += bytes;
  const std::size_t before = pending_.size();
  decode(false);
  // What is left started arriving no later than now.
  if (!pending_.empty() && pending_.size() != before) pendingSince_ = now;
}

int KeyDecoder::next(double now) {
  if (ready_.empty() && !pending_.empty() && now >= deadline()) decode(true);
  if (ready_.empty()) return 0;
  const auto [key, sequence] = ready_.front();
  ready_.pop_front();
  lastWasSequence_ = sequence;
  return key;
}

double KeyDecoder::deadline() const {
  return pending_.empty() ? -1.0 : pendingSince_ + kEscapeDelay;
}

void KeyDecoder::decode(bool expired) {
  while (!pending_.empty()) {
    const auto lead = static_cast<unsigned char>(pending_[0]);
    if (lead == 0x1b) {
      const auto [length, code] = escape(expired);
      if (length == 0) return;
      pending_.erase(0, length);
      if (code != 0) ready_.emplace_back(code, true);
      continue;
    }
    if (lead >= 0x80) {
      const std::size_t need = lead >= 0xF8   ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC0 ? 2
                                              : 1;
      if (need == 1) {  // not the start of a character
        pending_.erase(0, 1);
        continue;
      }
      if (pending_.size() < need) {
        if (!expired) return;
        pending_.erase(0, 1);
        continue;
      }
      char32_t cp = lead & (0x7F >> need);
      bool valid = true;
      for (std::size_t k = 1; k < need; ++k) {
        const auto next = static_cast<unsigned char>(pending_[k]);
        valid = valid && (next & 0xC0) == 0x80;
        cp = (cp << 6) | (next & 0x3F);
      }
      if (!valid) {
        pending_.erase(0, 1);
        continue;
      }
      pending_.erase(0, need);
      if (const int key = unicodeKey(cp)) ready_.emplace_back(key, false);
      continue;
    }
    pending_.erase(0, 1);
    if (const int key = plainKey(lead)) ready_.emplace_back(key, false);
  }
}

int KeyDecoder::plainKey(unsigned char byte) const {
  if (byte == eraseByte_) return K_BS;
  // The other of the two erase bytes is what Ctrl-Backspace sends.
  if (byte == 0x08 || byte == 0x7f) return K_CTRL_BS;
  return byte;  // 0 (Ctrl-Space) is no key; Ctrl-letters are 1 to 26
}

std::pair<std::size_t, int> KeyDecoder::escape(bool expired) {
  const std::string& p = pending_;
  const std::pair<std::size_t, int> wait{0, 0};
  const std::pair<std::size_t, int> lone{1, K_ESC};

  // The terminal's own key strings first.
  std::size_t bestLength = 0;
  int bestCode = 0;
  bool longerPossible = false;
  for (const auto& [seq, code] : sequences_) {
    if (p.size() >= seq.size()) {
      if (p.compare(0, seq.size(), seq) == 0 && seq.size() > bestLength) {
        bestLength = seq.size();
        bestCode = code;
      }
    } else if (seq.compare(0, p.size(), p) == 0) {
      longerPossible = true;
    }
  }
  if (longerPossible && !expired) return wait;
  if (bestLength > 0) return {bestLength, bestCode};

  if (p.size() < 2) return expired ? lone : wait;
  if (p[1] == '[') {
    if (p.size() >= 3 && p[2] == 'M') {  // mouse report, X10 encoding
      if (p.size() < 6) return expired ? lone : wait;
      const int button = static_cast<unsigned char>(p[3]) - 32;
      if ((button & 3) == 0 && (button & (32 | 64)) == 0) {
        click_ = {static_cast<unsigned char>(p[5]) - 33, static_cast<unsigned char>(p[4]) - 33};
        return {6, K_LBUTTONDOWN};
      }
      return {6, 0};
    }
    std::size_t i = 2;
    while (i < p.size() && p[i] >= 0x30 && p[i] <= 0x3F) ++i;
    while (i < p.size() && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
    if (i >= p.size()) return expired ? lone : wait;
    const char final = p[i];
    if (final < 0x40 || final > 0x7E) return lone;
    if (final == '[' && i == 2) {  // the Linux console's function keys
      if (p.size() < 4) return expired ? lone : wait;
      return {4, 0};
    }
    return {i + 1, csiKey(std::string_view(p).substr(2, i - 2), final)};
  }
  if (p[1] == 'O') {
    if (p.size() < 3) return expired ? lone : wait;
    return {3, ss3Key(p[2])};
  }
  if (p[1] == '\r' || p[1] == '\n') return {2, K_ALT_ENTER};
  // Escape followed by anything else: both keys count, one after the other.
  return lone;
}

namespace {

// A key reported with its modifiers (xterm's modifyOtherKeys, the CSI u
// form): `mod` is the modifier parameter less one.
int modifiedKey(int code, int mod) {
  const bool shift = (mod & 1) != 0;
  const bool alt = (mod & 2) != 0;
  const bool ctrl = (mod & 4) != 0;
  switch (code) {
    case 13:
      return alt ? K_ALT_ENTER : K_ENTER;
    case 9:
      return shift ? K_SH_TAB : K_TAB;
    case 8:
    case 127:
      return ctrl ? K_CTRL_BS : K_BS;
    case 27:
      return K_ESC;
    default:
      break;
  }
  if (ctrl && ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z'))) return code & 0x1F;
  if (code > 0) return unicodeKey(static_cast<char32_t>(code));
  return 0;
}

}  // namespace

int KeyDecoder::csiKey(std::string_view params, char final) {
  char leader = 0;
  if (!params.empty() && std::strchr("<=>?", params[0]) != nullptr) {
    leader = params[0];
    params.remove_prefix(1);
  }
  std::vector<int> nums;
  int value = -1;
  bool sub = false;  // sub-parameters after ':' are not used
  for (const char ch : params) {
    if (ch == ';') {
      nums.push_back(value);
      value = -1;
      sub = false;
    } else if (ch == ':') {
      sub = true;
    } else if (ch >= '0' && ch <= '9' && !sub) {
      value = (value < 0 ? 0 : value) * 10 + (ch - '0');
      if (value > 1000000) value = 1000000;
    }
  }
  nums.push_back(value);
  const auto num = [&nums](std::size_t k, int fallback) {
    return k < nums.size() && nums[k] >= 0 ? nums[k] : fallback;
  };

  if (leader == '<') {  // mouse report, SGR encoding
    const int button = num(0, 0);
    if (final == 'M' && (button & 3) == 0 && (button & (32 | 64)) == 0) {
      click_ = {num(2, 1) - 1, num(1, 1) - 1};
      return K_LBUTTONDOWN;
    }
    return 0;
  }
  if (leader != 0) return 0;  // replies to queries, never sent here

  const int mod = std::max(num(1, 1) - 1, 0);
  bool ctrl = (mod & 4) != 0;
  switch (final) {
    case 'A':
      return K_UP;
    case 'B':
      return K_DOWN;
    case 'C':
      return ctrl ? K_CTRL_RIGHT : K_RIGHT;
    case 'D':
      return ctrl ? K_CTRL_LEFT : K_LEFT;
    case 'H':
      return ctrl ? K_CTRL_HOME : K_HOME;
    case 'F':
      return ctrl ? K_CTRL_END : K_END;
    case 'Z':
      return K_SH_TAB;
    case 'u':
      return modifiedKey(num(0, 0), mod);
    case '^':  // the rxvt family marks Ctrl this way
      ctrl = true;
      [[fallthrough]];
    case '$':
    case '~':
      switch (num(0, 0)) {
        case 1:
        case 7:
          return ctrl ? K_CTRL_HOME : K_HOME;
        case 4:
        case 8:
          return ctrl ? K_CTRL_END : K_END;
        case 2:
          return K_INS;
        case 3:
          return K_DEL;
        case 5:
          return ctrl ? K_CTRL_PGUP : K_PGUP;
        case 6:
          return ctrl ? K_CTRL_PGDN : K_PGDN;
        case 27:
          return modifiedKey(num(2, 0), std::max(num(1, 1) - 1, 0));
        default:
          return 0;  // function keys, paste brackets
      }
    default:
      return 0;  // focus reports and the like
  }
}

int KeyDecoder::ss3Key(char final) const {
  switch (final) {
    case 'A':
    case 'a':
      return K_UP;
    case 'B':
    case 'b':
      return K_DOWN;
    case 'C':
      return K_RIGHT;
    case 'D':
      return K_LEFT;
    case 'c':
      return K_CTRL_RIGHT;
    case 'd':
      return K_CTRL_LEFT;
    case 'H':
      return K_HOME;
    case 'F':
      return K_END;
    case 'M':
      return K_ENTER;
    // The numeric keypad in application mode.
    case 'j':
      return '*';
    case 'k':
      return '+';
    case 'l':
      return ',';
    case 'm':
      return '-';
    case 'n':
      return '.';
    case 'o':
      return '/';
    case 'X':
      return '=';
    default:
      break;
  }
  if (final >= 'p' && final <= 'y') return '0' + (final - 'p');
  return 0;  // F1 to F4
}

// --- Signals ------------------------------------------------------------------------

namespace {

// What the signal handlers need, at file scope because a handler has no
// other way to reach it: the descriptors, the saved terminal modes and the
// reset bytes, prepared beforehand so that restoring needs no allocation.
struct SignalShared {
  volatile sig_atomic_t active = 0;  // the terminal's modes are ours
  int inFd = -1;
  int outFd = -1;
  termios saved{};
  char reset[512] = {};
  std::size_t resetLength = 0;
  int stderrSaved = -1;    // the real standard error while it is captured
  int stderrCapture = -1;  // the memory file standing in for it
  int wakeRead = -1;
  int wakeWrite = -1;
  volatile sig_atomic_t quit = 0;
  volatile sig_atomic_t quitAsked = 0;  // a terminating signal has arrived
  volatile sig_atomic_t winch = 0;
  volatile sig_atomic_t tstp = 0;
  volatile sig_atomic_t cont = 0;
  struct sigaction previous[NSIG] = {};
  bool installed[NSIG] = {};
  bool altStackInstalled = false;
  stack_t previousAltStack{};
  bool inUse = false;
};

SignalShared shared;
// A crash handler must still run when the stack has overflowed.
alignas(16) char altStack[64 * 1024];

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGABRT, SIGILL, SIGQUIT};
constexpr int kFlagSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};

void writeAllSafe(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
}

void wake() {
  if (shared.wakeWrite >= 0) {
    const char byte = 0;
    const ssize_t ignored = ::write(shared.wakeWrite, &byte, 1);
    (void)ignored;
  }
}

// Puts standard error back and writes out what it collected meanwhile.
// Async-signal-safe.
void replayStderr() {
  if (shared.stderrSaved < 0) return;
  const int capture = shared.stderrCapture;
  ::dup2(shared.stderrSaved, STDERR_FILENO);
  ::close(shared.stderrSaved);
  shared.stderrSaved = -1;
  shared.stderrCapture = -1;
  if (capture < 0) return;
  char buffer[4096];
  ::lseek(capture, 0, SEEK_SET);
  for (;;) {
    const ssize_t n = ::read(capture, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    writeAllSafe(STDERR_FILENO, buffer, static_cast<std::size_t>(n));
  }
  ::close(capture);
}

void startStderrCapture() {
  if (shared.stderrSaved >= 0 || !::isatty(STDERR_FILENO)) return;
  const int capture = ::memfd_create("stderr", MFD_CLOEXEC);
  if (capture < 0) return;
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0 || ::dup2(capture, STDERR_FILENO) < 0) {
    if (saved >= 0) ::close(saved);
    ::close(capture);
    return;
  }
  shared.stderrSaved = saved;
  shared.stderrCapture = capture;
}

void onQuitSignal(int sig) {
  const int savedErrno = errno;
  if (shared.quitAsked != 0) {
    // Asked twice: the program has not reached a wait since, so end it here.
    TerminalBackend::restoreFromSignal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
  } else {
    shared.quitAsked = 1;
    // A hangup seen on the terminal first keeps its place as the reason.
    if (shared.quit == 0) shared.quit = sig;
    wake();
  }
  errno = savedErrno;
}

void onFlagSignal(int sig) {
  const int savedErrno = errno;
  if (sig == SIGWINCH) shared.winch = 1;
  if (sig == SIGTSTP) shared.tstp = 1;
  if (sig == SIGCONT) shared.cont = 1;
  wake();
  errno = savedErrno;
}

void onCrashSignal(int sig) {
  const int savedErrno = errno;
  TerminalBackend::restoreFromSignal();
  // Under the disposition found at start (the default, or a sanitizer's),
  // the signal is delivered again when this handler returns.
  ::sigaction(sig, &shared.previous[sig], nullptr);
  shared.installed[sig] = false;
  ::raise(sig);
  errno = savedErrno;
}

void install(int sig, void (*handler)(int), int flags) {
  struct sigaction old {};
  ::sigaction(sig, nullptr, &old);
  // A signal ignored from the start (nohup, a background job) stays ignored.
  if (old.sa_handler == SIG_IGN && sig != SIGWINCH && sig != SIGCONT) return;
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigfillset(&action.sa_mask);
  if (::sigaction(sig, &action, &shared.previous[sig]) == 0) shared.installed[sig] = true;
}

void uninstallAll() {
  for (int sig = 1; sig < NSIG; ++sig) {
    if (shared.installed[sig]) {
      ::sigaction(sig, &shared.previous[sig], nullptr);
      shared.installed[sig] = false;
    }
  }
}

// exit() from deep code skips destructors; the terminal comes back anyway.
void restoreAtExit() {
  TerminalBackend::restoreFromSignal();
}

std::string programName() {
  const char* name = program_invocation_short_name;
  return name != nullptr && *name != '\0' ? name : "program";
}

void failStart(const std::string& why) {
  const std::string line = programName() + ": " + why + "\n";
  writeAllSafe(STDERR_FILENO, line.data(), line.size());
}

}  // namespace

void TerminalBackend::restoreFromSignal() noexcept {
  if (shared.active != 0) {
    shared.active = 0;
    writeAllSafe(shared.outFd, shared.reset, shared.resetLength);
    ::tcsetattr(shared.inFd, TCSANOW, &shared.saved);
  }
  replayStderr();
}

int TerminalBackend::pendingSignal() noexcept {
  return shared.quit;
}

void TerminalBackend::reraisePendingSignal() noexcept {
  const int sig = shared.quit;
  if (sig == 0) return;
  shared.quit = 0;
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
}

// --- The backend ------------------------------------------------------------------

std::unique_ptr<TerminalBackend> TerminalBackend::create() {
  if (!::isatty(STDIN_FILENO)) {
    failStart("standard input is not a terminal");
    return nullptr;
  }
  if (shared.inUse) {
    failStart("the terminal is already in use");
    return nullptr;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') {
    failStart("the terminal type is not known (TERM is not set)");
    return nullptr;
  }
  int outFd = STDOUT_FILENO;
  bool ownsOut = false;
  if (!::isatty(STDOUT_FILENO)) {
    // Output redirected: the screen still belongs on the terminal.
    outFd = ::open("/dev/tty", O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (outFd < 0) {
      failStart("standard output is not a terminal");
      return nullptr;
    }
    ownsOut = true;
  }
  std::optional<TermCaps> found = TermCaps::load(term, outFd);
  if (!found) {
    failStart(std::string("unknown terminal type '") + term + "'");
    if (ownsOut) ::close(outFd);
    return nullptr;
  }
  TermCaps caps = std::move(*found);
  if (caps.cup.empty() || caps.clear.empty()) {
    failStart(std::string("terminal type '") + term + "' cannot place the cursor");
    if (ownsOut) ::close(outFd);
    return nullptr;
  }
  std::unique_ptr<TerminalBackend> backend(
      new TerminalBackend(STDIN_FILENO, outFd, std::move(caps)));
  backend->ownsOutFd_ = ownsOut;
  return backend;
}

TerminalBackend::TerminalBackend(int inFd, int outFd, TermCaps caps)
    : inFd_(inFd), outFd_(outFd), caps_(caps), painter_(caps), decoder_(caps.keys), sound_([this] {
        bell();
      }) {
  shared.inUse = true;
  shared.inFd = inFd;
  shared.outFd = outFd;
  shared.quit = 0;
  shared.quitAsked = 0;
  shared.winch = 0;
  shared.tstp = 0;
  shared.cont = 0;
  ::tcgetattr(inFd, &shared.saved);
  decoder_ = KeyDecoder(caps_.keys, shared.saved.c_cc[VERASE]);

  const std::string reset = leaveString();
  shared.resetLength = std::min(reset.size(), sizeof shared.reset);
  std::memcpy(shared.reset, reset.data(), shared.resetLength);

  int wakePipe[2];
  if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) == 0) {
    shared.wakeRead = wakePipe[0];
    shared.wakeWrite = wakePipe[1];
  }

  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    stack_t ours{};
    ours.ss_sp = altStack;
    ours.ss_size = sizeof altStack;
    if (::sigaltstack(&ours, &shared.previousAltStack) == 0) shared.altStackInstalled = true;
  }
  for (const int sig : kQuitSignals) install(sig, onQuitSignal, SA_RESTART);
  for (const int sig : kFlagSignals) install(sig, onFlagSignal, SA_RESTART);
  for (const int sig : kCrashSignals) install(sig, onCrashSignal, SA_ONSTACK);
  static const bool atExitRegistered = std::atexit(restoreAtExit) == 0;
  (void)atExitRegistered;

  startStderrCapture();
  enterModes();
  updateSize();
}

TerminalBackend::~TerminalBackend() {
  leaveModes();
  replayStderr();
  uninstallAll();
  if (shared.altStackInstalled) {
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(shared.previousAltStack.ss_sp != nullptr ? &shared.previousAltStack : &off,
                  nullptr);
    shared.altStackInstalled = false;
  }
  for (int* fd : {&shared.wakeRead, &shared.wakeWrite}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  if (ownsOutFd_) ::close(outFd_);
  shared.outFd = shared.inFd = -1;
  shared.winch = 0;
  shared.tstp = 0;
  shared.cont = 0;
  shared.inUse = false;
  // shared.quit stays for reraisePendingSignal().
}

std::string TerminalBackend::leaveString() const {
  std::string s = caps_.sgr0 + caps_.cnorm + caps_.rmkx;
  if (caps_.mouse) s += kMouseOff;
  // Without an alternate screen, leave a clean one rather than our drawing.
  s += caps_.rmcup.empty() ? caps_.clear : caps_.rmcup;
  return s;
}

void TerminalBackend::enterModes() {
  termios raw = shared.saved;
  // Keys one by one as typed, nothing echoed.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
  // Ctrl-V and Ctrl-O are keys here, not line-editing commands.
  raw.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);
  // Ctrl-S and Ctrl-Q are keys (Left is Ctrl-S), not flow control; Enter
  // arrives as CR; all eight bits of each byte.
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | BRKINT);
  // Output goes exactly as written: line feeds move down without a return.
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_cflag |= CS8;
  // ISIG stays: Ctrl-C ends the program and Ctrl-Z suspends it, by signal.
  // A read returns whatever has arrived, never blocks: poll() does the waiting.
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(inFd_, TCSADRAIN, &raw);
  pendingOut_ += caps_.smcup + caps_.smkx;
  if (mouse_ && caps_.mouse) pendingOut_ += kMouseOn;
  modesEntered_ = true;
  shared.active = 1;
}

void TerminalBackend::leaveModes() {
  if (!modesEntered_) return;
  shared.active = 0;
  modesEntered_ = false;
  pendingOut_.clear();
  writeOut(leaveString());
  ::tcsetattr(inFd_, TCSADRAIN, &shared.saved);
}

void TerminalBackend::updateSize() {
  winsize ws{};
  int rows = 24;
  int cols = 80;
  if (::ioctl(outFd_, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
    rows = ws.ws_row;
    cols = ws.ws_col;
  } else if (caps_.lines > 0 && caps_.cols > 0) {
    rows = caps_.lines;
    cols = caps_.cols;
  }
  painter_.resize(rows, cols);
}

void TerminalBackend::writeOut(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(outFd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the terminal has gone; the hangup ends the program
    done += static_cast<std::size_t>(n);
  }
  bytesWritten_ += done;
}

double TerminalBackend::monotonic() {
  return bootClock();
}

LocalTime TerminalBackend::localTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1,
                   parts.tm_mday,        parts.tm_hour,
                   parts.tm_min,         parts.tm_sec + static_cast<double>(ts.tv_nsec) / 1e9};
}

void TerminalBackend::present(const Screen& screen) {
  lastScreen_ = &screen;
  if (!modesEntered_) return;
  std::string out = std::move(pendingOut_);
  pendingOut_.clear();
  out += painter_.paint(screen);
  if (!out.empty()) writeOut(out);
}

void TerminalBackend::serviceSignals() {
  if (shared.quit != 0) throw QuitSignal{};
  if (shared.tstp != 0) {
    shared.tstp = 0;
    suspend();
  }
  if (shared.cont != 0) {
    // Continued after a stop that was not ours (SIGSTOP): whoever had the
    // terminal meanwhile may have changed its modes and contents.
    shared.cont = 0;
    if (modesEntered_) {
      modesEntered_ = false;
      enterModes();
      painter_.invalidate();
    }
  }
  if (shared.winch != 0) {
    shared.winch = 0;
    updateSize();
  }
}

void TerminalBackend::suspend() {
  leaveModes();
  replayStderr();
  struct sigaction dfl {};
  struct sigaction ours {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGTSTP, &dfl, &ours);
  ::raise(SIGTSTP);  // stops here until SIGCONT
  ::sigaction(SIGTSTP, &ours, nullptr);
  shared.cont = 0;
  shared.tstp = 0;
  startStderrCapture();
  enterModes();
  updateSize();  // also draws everything afresh
}

int TerminalBackend::nextKey() {
  for (;;) {
    const int key = decoder_.next(monotonic());
    if (key != K_LBUTTONDOWN) return key;
    const auto [termRow, termCol] = decoder_.lastClick();
    const int row = termRow - painter_.top();
    const int col = termCol - painter_.left();
    if (mouse_ && painter_.fits() && row >= 0 && row < Screen::kRows && col >= 0 &&
        col < Screen::kCols) {
      click_ = {row, col};
      return key;
    }
  }
}

void TerminalBackend::waitForInput(int timeoutMs) {
  pollfd fds[2] = {{inFd_, POLLIN, 0}, {shared.wakeRead, POLLIN, 0}};
  const int ready = ::poll(fds, shared.wakeRead >= 0 ? 2 : 1, timeoutMs);
  if (ready <= 0) return;  // time-out, or a signal: the caller looks at both
  if ((fds[1].revents & POLLIN) != 0) {
    char drain[64];
    while (::read(shared.wakeRead, drain, sizeof drain) > 0) {
    }
  }
  if ((fds[0].revents & POLLIN) != 0) {
    char buffer[512];
    const ssize_t n = ::read(inFd_, buffer, sizeof buffer);
    if (n > 0) {
      zeroReads_ = 0;
      decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(n)), monotonic());
      return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    // Readable yet nothing to read, again and again: the terminal has gone.
    if (n < 0 || ++zeroReads_ >= 3) {
      if (shared.quit == 0) shared.quit = SIGHUP;
    }
    return;
  }
  if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && shared.quit == 0) {
    shared.quit = SIGHUP;
  }
}

int TerminalBackend::readKey(const Screen& screen, double deadline) {
  lastScreen_ = &screen;
  bool looked = false;  // the terminal has been read in this call
  for (;;) {
    serviceSignals();
    if (const int key = nextKey()) return key;
    present(screen);
    const double now = monotonic();
    if (deadline >= 0 && now >= deadline) {
      // Time is up, but a key that has already arrived still counts.
      if (looked) return 0;
      waitForInput(0);
      looked = true;
      continue;
    }
    double wakeAt = decoder_.deadline();
    if (deadline >= 0 && (wakeAt < 0 || deadline < wakeAt)) wakeAt = deadline;
    int timeoutMs = -1;
    if (wakeAt >= 0) {
      // Rounded up, so that the wait never ends a little early and spins;
      // in slices, because poll() does not count time spent suspended.
      const double ms = std::ceil((wakeAt - now) * 1000.0);
      timeoutMs = static_cast<int>(std::clamp(ms, 0.0, 5000.0));
    }
    waitForInput(timeoutMs);
    looked = true;
  }
}

void TerminalBackend::tone(double hz, double seconds) {
  if (shared.quit != 0) return;  // ending: no sound, no waiting
  if (lastScreen_ != nullptr) present(*lastScreen_);
  sound_.play(hz, seconds);
}

void TerminalBackend::bell() {
  if (!modesEntered_) return;
  writeOut(caps_.bel.empty() ? std::string("\a") : caps_.bel);
}

void TerminalBackend::discardTypeahead() {
  // What has arrived by now is read, so that it is dropped too; bounded, so
  // that a flood of input cannot hold the program here.
  for (int i = 0; i < 64; ++i) {
    pollfd fd{inFd_, POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0 || (fd.revents & POLLIN) == 0) break;
    waitForInput(0);
  }
  decoder_.dropReady();
}

Backend::KeyEvent TerminalBackend::lastKeyEvent(int inkey) {
  if (inkey == K_LBUTTONDOWN) return {EV_LBCLICK, click_.first, click_.second};
  // A sequence is a special key: code 23 from one is Ctrl-End, since Ctrl-W
  // arrives as a byte. A byte is the character or control code itself, but
  // for the erase pair's other byte, Ctrl-Backspace.
  if (decoder_.lastWasSequence()) return {inkey == K_CTRL_END ? EK_CTRL_END : eventOfInkey(inkey)};
  return {inkey == K_CTRL_BS ? EK_CTRL_BS : inkey};
}

void TerminalBackend::setMouse(bool on) {
  if (on == mouse_) return;
  mouse_ = on;
  if (modesEntered_ && caps_.mouse) pendingOut_ += on ? kMouseOn : kMouseOff;
}

std::unique_ptr<Backend> openTerminalBackend() {
  return TerminalBackend::create();
}

}  // namespace krx
