#include "harness/emulator.h"

#include <vterm.h>

#include "runtime/console/screen.h"

namespace e2e {

struct EmulatorCallbacks {
  static int setTermProp(VTermProp prop, VTermValue* value, void* user) {
    auto* self = static_cast<Emulator*>(user);
    if (prop == VTERM_PROP_ALTSCREEN) {
      if (value->boolean != 0 && !self->altScreen_) ++self->altScreenEntries_;
      self->altScreen_ = value->boolean != 0;
    }
    if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible_ = value->boolean != 0;
    return 1;
  }
  static int unknownCsi(const char* leader, const long args[], int argcount, const char* intermed,
                        char command, void* user) {
    std::string sequence = "\x1b[";
    if (leader != nullptr) sequence += leader;
    for (int i = 0; i < argcount; ++i) {
      if (!CSI_ARG_IS_MISSING(args[i])) sequence += std::to_string(CSI_ARG(args[i]));
      if (i + 1 < argcount) sequence += CSI_ARG_HAS_MORE(args[i]) ? ':' : ';';
    }
    if (intermed != nullptr) sequence += intermed;
    sequence += command;
    static_cast<Emulator*>(user)->unknown_.push_back(std::move(sequence));
    return 0;
  }
  static int bell(void* user) {
    ++static_cast<Emulator*>(user)->bells_;
    return 1;
  }
  static void output(const char* bytes, std::size_t length, void* user) {
    auto* self = static_cast<Emulator*>(user);
    if (self->answer_) self->answer_(std::string_view(bytes, length));
  }
};

namespace {

const VTermScreenCallbacks kScreenCallbacks = {
    nullptr,                          // damage
    nullptr,                          // moverect
    nullptr,                          // movecursor
    &EmulatorCallbacks::setTermProp,  // settermprop
    &EmulatorCallbacks::bell,         // bell
    nullptr,                          // resize
    nullptr,                          // sb_pushline
    nullptr,                          // sb_popline
};
const VTermParserCallbacks kFallbacks = {
    nullptr,                         // text
    nullptr,                         // control
    nullptr,                         // escape
    &EmulatorCallbacks::unknownCsi,  // csi
    nullptr,                         // osc
    nullptr,                         // dcs
    nullptr,                         // resize
};

Emulator::Colour colourOf(const VTermColor& colour, bool foreground) {
  Emulator::Colour out;
  out.isDefault =
      foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour);
  if (out.isDefault) return out;
  if (VTERM_COLOR_IS_INDEXED(&colour)) {
    out.index = colour.indexed.idx;
  } else {
    out.rgb = colour.rgb.red << 16 | colour.rgb.green << 8 | colour.rgb.blue;
  }
  return out;
}

}  // namespace

Emulator::Emulator(int rows, int cols) : vt_(vterm_new(rows, cols)) {
  vterm_set_utf8(vt_, 1);
  screen_ = vterm_obtain_screen(vt_);
  state_ = vterm_obtain_state(vt_);
  vterm_screen_enable_altscreen(screen_, 1);
  vterm_screen_set_callbacks(screen_, &kScreenCallbacks, this);
  vterm_screen_set_unrecognised_fallbacks(screen_, &kFallbacks, this);
  vterm_output_set_callback(vt_, &EmulatorCallbacks::output, this);
  vterm_screen_reset(screen_, 1);
}

Emulator::~Emulator() {
  vterm_free(vt_);
}

void Emulator::play(std::string_view bytes) {
  vterm_input_write(vt_, bytes.data(), bytes.size());
}

void Emulator::resize(int rows, int cols) {
  vterm_set_size(vt_, rows, cols);
}

int Emulator::rows() const {
  int rows = 0;
  int cols = 0;
  vterm_get_size(vt_, &rows, &cols);
  return rows;
}

int Emulator::cols() const {
  int rows = 0;
  int cols = 0;
  vterm_get_size(vt_, &rows, &cols);
  return cols;
}

Emulator::Cell Emulator::cell(int row, int col) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
  Cell out;
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) {
    krx::appendUtf8(out.text, cell.chars[i]);
  }
  if (out.text.empty()) out.text.push_back(' ');
  out.fg = colourOf(cell.fg, true);
  out.bg = colourOf(cell.bg, false);
  out.bold = cell.attrs.bold != 0;
  out.reverse = cell.attrs.reverse != 0;
  return out;
}

std::string Emulator::cellsText(int row, int col, int count) const {
  std::string out;
  for (int c = col; c < col + count; ++c) out += cellText(row, c);
  return out;
}

std::string Emulator::screenText() const {
  std::string out;
  for (int r = 0, rows = this->rows(); r < rows; ++r) out += rowText(r) + "\n";
  return out;
}

std::pair<int, int> Emulator::cursor() const {
  VTermPos pos{};
  vterm_state_get_cursorpos(state_, &pos);
  return {pos.row, pos.col};
}

bool Emulator::penIsDefault() const {
  VTermValue value{};
  vterm_state_get_penattr(state_, VTERM_ATTR_FOREGROUND, &value);
  if (!VTERM_COLOR_IS_DEFAULT_FG(&value.color)) return false;
  vterm_state_get_penattr(state_, VTERM_ATTR_BACKGROUND, &value);
  if (!VTERM_COLOR_IS_DEFAULT_BG(&value.color)) return false;
  for (const VTermAttr attr : {VTERM_ATTR_BOLD, VTERM_ATTR_REVERSE, VTERM_ATTR_UNDERLINE,
                               VTERM_ATTR_BLINK, VTERM_ATTR_ITALIC}) {
    value = VTermValue{};
    vterm_state_get_penattr(state_, attr, &value);
    if (value.number != 0) return false;
  }
  return true;
}

}  // namespace e2e
