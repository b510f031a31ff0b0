#include "runtime/console/console.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "runtime/console/context.h"
#include "runtime/console/settings.h"
#include "runtime/lang/strings.h"

namespace krx {

namespace {

Screen& screen() {
  return RT().screen;
}
Attr standardColor() {
  return RT().screen.colors[CLR_STANDARD];
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

// --- Colours ----------------------------------------------------------------

namespace {

// Colour names by number; a bright colour is its base name with "+".
constexpr const char* kColorNames[8] = {"N", "B", "G", "BG", "R", "RB", "GR", "W"};

struct ColorSide {
  int color = 0;
  bool blink = false;
};

// One side of a pair: letters in any order (B, G, R combine; W is all three;
// N none; Y is bright GR), "+" bright, "*" blink; or a number 0-15.
// Empty means black.
std::optional<ColorSide> parseColorSide(std::string_view text) {
  text = trimBlanks(text);
  ColorSide side;
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front()))) {
    int n = 0;
    for (char ch : text) {
      if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
      n = n * 10 + (ch - '0');
      if (n > 15) return std::nullopt;
    }
    side.color = n;
    return side;
  }
  for (char ch : text) {
    switch (std::toupper(static_cast<unsigned char>(ch))) {
      case 'B':
        side.color |= 1;
        break;
      case 'G':
        side.color |= 2;
        break;
      case 'R':
        side.color |= 4;
        break;
      case 'W':
        side.color |= 7;
        break;
      case 'Y':
        side.color |= 6 | 8;
        break;
      case 'N':
        break;
      case '+':
        side.color |= 8;
        break;
      case '*':
        side.blink = true;
        break;
      case ' ':
        break;
      default:
        return std::nullopt;
    }
  }
  return side;
}

std::string colorName(int color) {
  std::string name = kColorNames[color & 7];
  if (color & 8) name += '+';
  return name;
}

std::string formatSpec(const std::array<Attr, 5>& colors) {
  std::string spec;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    if (i) spec += ',';
    spec += colorName(colors[i] & 0x0F) + '/' + colorName(colors[i] >> 4);
  }
  return spec;
}

// The pairs of a spec: a spec that opens with a double quote means the text
// up to the closing one.
std::string_view specBody(std::string_view spec) {
  spec = trimBlanks(spec);
  if (!spec.empty() && spec.front() == '"') {
    spec.remove_prefix(1);
    if (auto close = spec.find('"'); close != std::string_view::npos) spec = spec.substr(0, close);
  }
  return spec;
}

}  // namespace

bool parseColorPair(std::string_view pair, Attr& attr) {
  const auto slash = pair.find('/');
  const auto fg = parseColorSide(pair.substr(0, slash));
  const auto bg = parseColorSide(slash == std::string_view::npos ? "" : pair.substr(slash + 1));
  if (!fg || !bg) return false;
  // No terminal blinks reliably, so blink shows as a bright background.
  const int background = bg->color | ((fg->blink || bg->blink) ? 8 : 0);
  attr = makeAttr(fg->color, background);
  return true;
}

std::string SETCOLOR() {
  return screen().colorSpec;
}

std::string SETCOLOR(std::string_view spec) {
  Screen& s = screen();
  std::string previous = s.colorSpec;
  std::string_view body = specBody(spec);
  for (std::size_t slot = 0; slot < s.colors.size(); ++slot) {
    const auto comma = body.find(',');
    const std::string_view pair = trimBlanks(body.substr(0, comma));
    Attr attr;
    // An empty pair, or one that is not a colour, keeps its slot.
    if (!pair.empty() && parseColorPair(pair, attr)) s.colors[slot] = attr;
    if (comma == std::string_view::npos) break;
    body.remove_prefix(comma + 1);
  }
  s.colorSpec = formatSpec(s.colors);
  return previous;
}

// --- Screen output ---------------------------------------------------------------

void DEVPOS(int row, int col) {
  SETPOS(row, col);
}

void DEVOUT(const Item& value) {
  DEVOUT(displayForm(value));
}

void DEVOUT(std::string_view text) {
  DISPOUT(text, standardColor());
}

void DISPOUT(const Item& value) {
  DISPOUT(displayForm(value), standardColor());
}

void DISPOUT(std::string_view text, Attr attr) {
  Screen& s = screen();
  s.write(s.row, s.col, text, attr);
  s.col += static_cast<int>(text.size());
}

void SETPOS(int row, int col) {
  Screen& s = screen();
  s.row = row;
  s.col = col;
}

int ROW() {
  return screen().row;
}
int COL() {
  return screen().col;
}
int MAXROW() {
  return Screen::kRows - 1;
}
int MAXCOL() {
  return Screen::kCols - 1;
}

void SCROLL() {
  SCROLL(0, 0, MAXROW(), MAXCOL());
}
void SCROLL(int top, int left) {
  SCROLL(top, left, MAXROW(), MAXCOL());
}
void SCROLL(int top, int left, int bottom, int right) {
  screen().fill(top, left, bottom, right, standardColor());
}

void SETFINEROWS(int top, int bottom, FineDrawing draw) {
  screen().setFineRows(top, bottom, std::move(draw));
}

void SETFINEROWS() {
  screen().clearFineRows();
}

int SETCURSOR() {
  return screen().cursorVisible ? 1 : 0;
}

int SETCURSOR(int shape) {
  const int previous = SETCURSOR();
  screen().cursorVisible = shape != 0;
  return previous;
}

// --- Console stream ----------------------------------------------------------

namespace {

// Moves the stream's cursor to the next line, scrolling the screen up when it
// is on the last one.
void streamNewLine(Screen& s) {
  if (s.row >= Screen::kRows - 1) {
    s.scrollUp(0, 0, Screen::kRows - 1, Screen::kCols - 1, standardColor());
    s.row = Screen::kRows - 1;
  } else {
    ++s.row;
  }
}

// The screen as a teletype: carriage return, line feed, bell and backspace
// act; other bytes are written, wrapping at the right edge.
void writeConsole(std::string_view bytes) {
  Screen& s = screen();
  s.row = std::clamp(s.row, 0, Screen::kRows - 1);
  s.col = std::max(s.col, 0);
  const Attr attr = standardColor();
  for (char ch : bytes) {
    switch (ch) {
      case '\r':
        s.col = 0;
        break;
      case '\n':
        streamNewLine(s);
        break;
      case '\a':
        RT().backend->bell();
        break;
      case '\b':
        if (s.col > 0) --s.col;
        break;
      default:
        if (s.col >= Screen::kCols) {
          s.col = 0;
          streamNewLine(s);
        }
        s.write(s.row, s.col, std::string_view(&ch, 1), attr);
        ++s.col;
    }
  }
}

void consoleStream(std::string_view bytes) {
  if (RT().settings.values[SET_CONSOLE].logOr(true)) writeConsole(bytes);
  writeAlternate(bytes);
}

}  // namespace

std::string joinDisplayForms(std::initializer_list<Item> values) {
  std::string out;
  bool first = true;
  for (const Item& v : values) {
    if (!first) out += ' ';
    out += displayForm(v);
    first = false;
  }
  return out;
}

void QOUT(std::initializer_list<Item> values) {
  consoleStream("\r\n" + joinDisplayForms(values));
}

void QQOUT(std::initializer_list<Item> values) {
  consoleStream(joinDisplayForms(values));
}

void OUTERR(std::string_view text) {
  RT().backend->errorOutput(text);
}

// --- Keyboard --------------------------------------------------------------

int INKEY(double seconds) {
  Runtime& rt = RT();
  int key = 0;
  if (!rt.keyboard.buffer.empty()) {
    key = rt.keyboard.buffer.front();
    rt.keyboard.buffer.pop_front();
  } else {
    const double now = rt.backend->monotonic();
    const double deadline = seconds > 0 ? now + seconds : seconds == 0 ? -1 : now;
    key = rt.backend->readKey(rt.screen, deadline);
  }
  if (key != 0) rt.keyboard.lastKey = key;
  return key;
}

int LASTKEY() {
  return RT().keyboard.lastKey;
}

void _KEYBOARD(std::string_view text) {
  // The buffer and the type-ahead are replaced, not extended, so that the
  // next INKEY reads the first character of this text, and keys pressed
  // while the program was busy (at a prompt, a pause, a question) are not
  // taken for commands afterwards.
  auto& buffer = RT().keyboard.buffer;
  buffer.clear();
  RT().backend->discardTypeahead();
  for (char ch : text) buffer.push_back(static_cast<unsigned char>(ch));
}

Item SETKEY(int code) {
  return RT().keyboard.setKeys.at(code);
}

Item SETKEY(int code, const Item& callable) {
  return RT().keyboard.setKeys.bind(code, callable);
}

bool SETMOUSE() {
  return RT().keyboard.mouse;
}

bool SETMOUSE(bool on) {
  Runtime& rt = RT();
  const bool previous = rt.keyboard.mouse;
  rt.keyboard.mouse = on;
  rt.backend->setMouse(on);
  return previous;
}

WakeOnInput::WakeOnInput(int fd) {
  RT().backend->wakeOnInput(fd);
}

WakeOnInput::~WakeOnInput() {
  RT().backend->wakeOnInput(-1);
}

// --- Clock and sound ---------------------------------------------------------

double SECONDS() {
  const Runtime& rt = RT();
  const double elapsed = rt.backend->monotonic() - rt.clock.originMonotonic;
  // Whole days taken off by hand: exact for the non-negative values here, and
  // the program needs nothing of the maths library.
  const double seconds = rt.clock.originSeconds + elapsed;
  return seconds - 86400.0 * static_cast<double>(static_cast<long long>(seconds / 86400.0));
}

double MONOSECONDS() {
  return RT().backend->monotonic();
}

double EPOCHSECONDS() {
  return RT().backend->epochSeconds();
}

std::string TIME() {
  const LocalTime t = RT().backend->localTime();
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute,
                static_cast<int>(std::floor(t.second)));
  return text;
}

Date DATE() {
  const LocalTime t = RT().backend->localTime();
  return makeDate(t.year, t.month, t.day);
}

// In the date format of setting 4.
std::string DTOC(Date d) {
  return formatDate(d, RT().settings.values[SET_DATEFORMAT].strOr("mm/dd/yy"));
}

void TONE(double frequency, double duration) {
  // A duration unit is one tick of the classic 18.2 Hz timer.
  RT().backend->tone(frequency, std::max(duration, 0.0) / 18.2);
}

// --- Alert ----------------------------------------------------------------------

namespace {

constexpr Attr kAlertColor = makeAttr(15, 4);      // W+/R
constexpr Attr kAlertSelected = makeAttr(0, 7);    // N/W
constexpr int kAlertMaxInner = Screen::kCols - 4;  // border and one blank each side
constexpr int kAlertMaxLines = Screen::kRows - 4;  // borders, a blank row, the buttons

// Puts back the cells, cursor and colours under a dialog on every path out.
class ScreenRegionGuard {
 public:
  ScreenRegionGuard(int top, int left, int bottom, int right)
      : s_(screen()), top_(top), left_(left), bottom_(bottom), right_(right) {
    row_ = s_.row, col_ = s_.col, cursorVisible_ = s_.cursorVisible;
    colors_ = s_.colors, colorSpec_ = s_.colorSpec;
    for (int r = top; r <= bottom; ++r) {
      for (int c = left; c <= right; ++c) saved_.push_back(s_.at(r, c));
    }
  }
  ~ScreenRegionGuard() {
    bool changed = false;
    std::size_t i = 0;
    for (int r = top_; r <= bottom_; ++r) {
      for (int c = left_; c <= right_; ++c, ++i) {
        if (s_.at(r, c) != saved_[i]) {
          s_.at(r, c) = saved_[i];
          changed = true;
        }
      }
    }
    if (changed) s_.touch();
    s_.row = row_, s_.col = col_, s_.cursorVisible = cursorVisible_;
    s_.colors = colors_, s_.colorSpec = colorSpec_;
  }
  ScreenRegionGuard(const ScreenRegionGuard&) = delete;
  ScreenRegionGuard& operator=(const ScreenRegionGuard&) = delete;

 private:
  Screen& s_;
  int top_, left_, bottom_, right_;
  int row_, col_;
  bool cursorVisible_;
  std::array<Attr, 5> colors_;
  std::string colorSpec_;
  std::vector<Cell> saved_;
};

struct AlertLayout {
  std::vector<std::string> lines;
  std::vector<std::string> labels;  // the button texts, cut to fit
  int top = 0, left = 0, bottom = 0, right = 0;
  int buttonRow = 0;
  std::vector<int> buttonCol;
};

AlertLayout layoutAlert(std::string_view text, const std::vector<std::string>& options) {
  AlertLayout a;
  for (std::size_t start = 0;;) {
    const auto semi = text.find(';', start);
    a.lines.emplace_back(text.substr(start, semi == std::string_view::npos ? semi : semi - start));
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  if (static_cast<int>(a.lines.size()) > kAlertMaxLines - 1) a.lines.resize(kAlertMaxLines - 1);
  int inner = 0;
  for (auto& line : a.lines) {
    if (static_cast<int>(line.size()) > kAlertMaxInner) line.resize(kAlertMaxInner);
    inner = std::max(inner, static_cast<int>(line.size()));
  }

  // Buttons are " label " with two blanks between them; labels are cut
  // evenly when the row would not fit.
  const int n = static_cast<int>(options.size());
  int longest = 0;
  for (const auto& o : options) longest = std::max(longest, static_cast<int>(o.size()));
  const int labelMax = std::max(1, std::min(longest, (kAlertMaxInner - 2 * (n - 1)) / n - 2));
  int rowWidth = 2 * (n - 1);
  for (const auto& o : options) {
    a.labels.push_back(o.substr(0, labelMax));
    rowWidth += static_cast<int>(a.labels.back().size()) + 2;
  }
  inner = std::min(std::max(inner, rowWidth), kAlertMaxInner);

  const int width = inner + 4;
  const int height = static_cast<int>(a.lines.size()) + 4;
  a.top = (Screen::kRows - height) / 2;
  a.left = (Screen::kCols - width) / 2;
  a.bottom = a.top + height - 1;
  a.right = a.left + width - 1;
  a.buttonRow = a.bottom - 1;
  int col = a.left + 2 + std::max(0, (inner - rowWidth) / 2);
  for (const auto& label : a.labels) {
    a.buttonCol.push_back(col);
    col += static_cast<int>(label.size()) + 4;
  }
  return a;
}

void drawAlertFrame(Screen& s, const AlertLayout& a) {
  constexpr std::uint8_t kTopLeft = 201, kTopRight = 187, kBottomLeft = 200, kBottomRight = 188;
  constexpr std::uint8_t kHorizontal = 205, kVertical = 186;
  const int inside = a.right - a.left - 1;
  s.fill(a.top, a.left, a.bottom, a.right, kAlertColor);
  const std::string rule(static_cast<std::size_t>(inside), static_cast<char>(kHorizontal));
  s.write(a.top, a.left,
          std::string(1, static_cast<char>(kTopLeft)) + rule + static_cast<char>(kTopRight),
          kAlertColor);
  s.write(a.bottom, a.left,
          std::string(1, static_cast<char>(kBottomLeft)) + rule + static_cast<char>(kBottomRight),
          kAlertColor);
  for (int r = a.top + 1; r < a.bottom; ++r) {
    s.write(r, a.left, std::string(1, static_cast<char>(kVertical)), kAlertColor);
    s.write(r, a.right, std::string(1, static_cast<char>(kVertical)), kAlertColor);
  }
  for (std::size_t i = 0; i < a.lines.size(); ++i) {
    const int pad = (inside - static_cast<int>(a.lines[i].size())) / 2;
    s.write(a.top + 1 + static_cast<int>(i), a.left + 1 + pad, a.lines[i], kAlertColor);
  }
}

void drawAlertButtons(Screen& s, const AlertLayout& a, std::size_t selected) {
  for (std::size_t i = 0; i < a.labels.size(); ++i) {
    // So many options that the row overflows: the ones past the border stay
    // reachable by key but are not drawn, so nothing outside the saved box
    // is touched.
    const std::string button = " " + a.labels[i] + " ";
    if (a.buttonCol[i] + static_cast<int>(button.size()) > a.right - 1) break;
    s.write(a.buttonRow, a.buttonCol[i], button, i == selected ? kAlertSelected : kAlertColor);
  }
}

char firstLetter(std::string_view option) {
  option = trimBlanks(option);
  return option.empty() ? '\0'
                        : static_cast<char>(std::toupper(static_cast<unsigned char>(option[0])));
}

}  // namespace

int ALERT(std::string_view text, const std::vector<std::string>& options) {
  const std::vector<std::string> opts = options.empty() ? std::vector<std::string>{"Ok"} : options;
  Runtime& rt = RT();
  if (const auto answer = rt.backend->answerAlert(text, opts)) return *answer;

  const AlertLayout a = layoutAlert(text, opts);
  ScreenRegionGuard guard(a.top, a.left, a.bottom, a.right);
  Screen& s = rt.screen;
  s.cursorVisible = false;
  drawAlertFrame(s, a);

  const std::size_t n = opts.size();
  std::size_t selected = 0;
  int answer = -1;
  while (answer < 0) {
    drawAlertButtons(s, a, selected);
    const int key = INKEY(0);
    switch (key) {
      case K_LEFT:
      case K_SH_TAB:
        selected = (selected + n - 1) % n;
        break;
      case K_RIGHT:
      case K_TAB:
        selected = (selected + 1) % n;
        break;
      case K_HOME:
        selected = 0;
        break;
      case K_END:
        selected = n - 1;
        break;
      case K_ENTER:
        answer = static_cast<int>(selected) + 1;
        break;
      case K_ESC:
        answer = 0;
        break;
      default:
        if (key > K_SPACE && key <= 255) {
          const char letter = static_cast<char>(std::toupper(key));
          for (std::size_t i = 0; i < n; ++i) {
            if (firstLetter(opts[i]) == letter) {
              answer = static_cast<int>(i) + 1;
              break;
            }
          }
        }
    }
  }
  rt.backend->alertAnswered(answer);
  return answer;
}

}  // namespace krx
