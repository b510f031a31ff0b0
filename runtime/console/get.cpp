// The edit-field object: the picture mask, buffer editing, value transfer
// through the accessor callable, and the field's appearance on the screen.
//
// The buffer always has one byte per screen column. The mask has one byte per
// buffer position: a template character (9 # A N X ! L Y) marks an editable
// position, anything else is a literal that the cursor skips and that editing
// never moves.
#include "runtime/console/get.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace krx {
namespace {

constexpr std::string_view kTemplateChars = "9#ANX!LY";

bool isTemplateChar(char c) {
  return kTemplateChars.find(c) != std::string_view::npos;
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string lowerName(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower(c);
  return out;
}

char typeLetter(const Item& v) {
  if (v.isStr()) return 'C';
  if (v.isNum()) return 'N';
  if (v.isDate()) return 'D';
  if (v.isLog()) return 'L';
  return 'U';
}

// The pairs of a colour setting; quote characters around it are skipped
// as SETCOLOR skips them.
std::vector<std::string> colorPairs(std::string_view spec) {
  std::vector<std::string> pairs(1);
  for (char c : spec) {
    if (c == '"' || c == ' ') continue;
    if (c == ',') {
      pairs.emplace_back();
    } else {
      pairs.back() += c;
    }
  }
  return pairs;
}

std::string dateFormat() {
  return SET(SET_DATEFORMAT).strOr("mm/dd/yy");
}

}  // namespace

// --- Creation ------------------------------------------------------------------

GetRef Get::New(int row, int col, BlockRef accessor, Item name, std::string picture, Item color,
                Item valid, Item when) {
  auto get = std::make_shared<Get>();
  get->row = row;
  get->col = col;
  get->block_ = std::move(accessor);
  get->name = std::move(name);
  get->picture_ = std::move(picture);
  get->postBlock = std::move(valid);
  get->preBlock = std::move(when);
  get->parsePicture();
  get->setColors(color);
  get->load(get->varGet());
  return get;
}

void Get::parsePicture() {
  functions_.clear();
  template_ = picture_;
  if (!picture_.empty() && picture_[0] == '@') {
    const auto blank = picture_.find(' ');
    functions_ = picture_.substr(1, blank == std::string::npos ? std::string::npos : blank - 1);
    for (char& c : functions_) c = upper(c);
    template_ = blank == std::string::npos ? "" : picture_.substr(blank + 1);
  }
}

// Without a colour of its own the field takes the unselected and enhanced
// slots in force when it is made; a colour given is "unselected,enhanced",
// one pair serving for both.
void Get::setColors(const Item& color) {
  const Screen& screen = RT().screen;
  unselected_ = screen.colors[CLR_UNSELECTED];
  enhanced_ = screen.colors[CLR_ENHANCED];
  const auto current = colorPairs(screen.colorSpec);
  std::string unselected = current.size() > CLR_UNSELECTED ? current[CLR_UNSELECTED] : "";
  std::string enhanced = current.size() > CLR_ENHANCED ? current[CLR_ENHANCED] : "";
  if (color.isStr() && !color.str().empty()) {
    const auto given = colorPairs(color.str());
    Attr attr = 0;
    if (parseColorPair(given[0], attr)) {
      unselected_ = enhanced_ = attr;
      unselected = enhanced = given[0];
    }
    if (given.size() > 1 && parseColorPair(given[1], attr)) {
      enhanced_ = attr;
      enhanced = given[1];
    }
  }
  colorSpec_ = unselected + "," + enhanced;
}

// --- Buffer and value ----------------------------------------------------------

// Takes the type from the value and builds the mask and buffer for it.
void Get::load(const Item& value) {
  type_ = typeLetter(value);
  switch (type_) {
    case 'C':
      mask_ = !template_.empty()
                  ? template_
                  : std::string(value.str().size(),
                                functions_.find('!') != std::string::npos ? '!' : 'X');
      break;
    case 'N':
      if (!template_.empty()) {
        mask_ = template_;
      } else {
        // The default text form decides the width and the decimals.
        mask_ = STR(value.num());
        for (char& c : mask_) c = c == '.' ? '.' : '9';
      }
      break;
    case 'D':
      mask_ = dateFormat();
      for (char& c : mask_) {
        const char l = lower(c);
        if (l == 'y' || l == 'm' || l == 'd') c = '9';
      }
      break;
    case 'L':
      mask_ = !template_.empty() && (template_[0] == 'L' || template_[0] == 'Y')
                  ? template_.substr(0, 1)
                  : "L";
      break;
    default:
      mask_.clear();
  }
  buffer_ = bufferOf(value);
}

std::string Get::bufferOf(const Item& value) const {
  switch (type_) {
    case 'C': {
      const std::string& s = value.str();
      const bool upperAll = functions_.find('!') != std::string::npos;
      const bool squeezed = functions_.find('R') != std::string::npos;
      std::string out = mask_;
      std::size_t k = 0;
      for (std::size_t i = 0; i < mask_.size(); ++i) {
        if (!isTemplateChar(mask_[i])) continue;
        const std::size_t from = squeezed ? k++ : i;
        char c = from < s.size() ? s[from] : ' ';
        if (upperAll || mask_[i] == '!') c = upper(c);
        out[i] = c;
      }
      return out;
    }
    case 'N':
      return numberText(value.num());
    case 'D': {
      std::string out = DTOC(value.date());
      out.resize(mask_.size(), ' ');
      return out;
    }
    case 'L':
      if (mask_ == "Y") return value.log() ? "Y" : "N";
      return value.log() ? "T" : "F";
    default:
      return "";
  }
}

// The number in the mask: right-aligned in the positions before the decimal
// point, rounded to the positions after it; asterisks when it does not fit.
std::string Get::numberText(double n) const {
  const auto point = mask_.find('.');
  const std::size_t intEnd = point == std::string::npos ? mask_.size() : point;
  int intSlots = 0;
  int decSlots = 0;
  for (std::size_t i = 0; i < mask_.size(); ++i) {
    if (isTemplateChar(mask_[i])) ++(i < intEnd ? intSlots : decSlots);
  }
  if (intSlots + decSlots == 0) return mask_;

  std::string whole;
  std::string fraction;
  if (decSlots > 0) {
    const std::string s = STR(n, intSlots + 1 + decSlots, decSlots);
    const auto dot = s.find('.');
    if (dot != std::string::npos) {
      whole = s.substr(0, dot);
      fraction = s.substr(dot + 1);
    } else {
      whole = std::string(static_cast<std::size_t>(intSlots), '*');
      fraction = std::string(static_cast<std::size_t>(decSlots), '*');
    }
  } else {
    whole = STR(n, std::max(intSlots, 1), 0);
  }
  if (whole.size() > static_cast<std::size_t>(intSlots)) {
    // Only blanks may be dropped from the left; a wider number does not fit.
    const std::size_t extra = whole.size() - static_cast<std::size_t>(intSlots);
    whole = whole.find_first_not_of(' ') >= extra
                ? whole.substr(extra)
                : std::string(static_cast<std::size_t>(intSlots), '*');
  }
  fraction.resize(static_cast<std::size_t>(decSlots), '0');

  std::string out = mask_;
  std::size_t a = 0;
  std::size_t b = 0;
  bool digitSeen = false;
  for (std::size_t i = 0; i < mask_.size(); ++i) {
    if (isTemplateChar(mask_[i])) {
      out[i] = i < intEnd ? whole[a++] : fraction[b++];
      digitSeen = digitSeen || isDigit(out[i]);
    } else if (mask_[i] == ',' && i < intEnd && !digitSeen) {
      out[i] = ' ';  // no thousands separator in front of the number
    }
  }
  return out;
}

// The buffer of a field about to take a new value: editable positions blank,
// literals kept (leading separators of a number blank).
std::string Get::blankBuffer() const {
  std::string out = buffer_;
  const auto point = mask_.find('.');
  for (std::size_t i = 0; i < out.size() && i < mask_.size(); ++i) {
    if (isTemplateChar(mask_[i]) || (type_ == 'N' && mask_[i] == ',' && i < point)) out[i] = ' ';
  }
  return out;
}

// The value the buffer stands for; `ok` false when there is none to store.
Item Get::bufferValue(bool& ok) {
  ok = true;
  switch (type_) {
    case 'C': {
      std::string text;
      std::size_t covered = buffer_.size();
      if (functions_.find('R') != std::string::npos) {
        for (int p : editable()) text += buffer_[static_cast<std::size_t>(p - 1)];
        covered = text.size();
      } else {
        text = buffer_;
      }
      // A picture shorter than the variable edits only its head; the rest is kept.
      const Item current = varGet();
      if (current.isStr() && current.str().size() > covered) text += current.str().substr(covered);
      return text;
    }
    case 'N': {
      std::string digits;
      bool negative = false;
      for (std::size_t i = 0; i < buffer_.size() && i < mask_.size(); ++i) {
        if (!isTemplateChar(mask_[i]) && mask_[i] != '.') continue;
        const char c = buffer_[i];
        if (c == '-') {
          negative = true;
        } else if (c != ' ' && c != '+') {
          digits += c;
        }
      }
      const double n = VAL(digits);
      return negative && n != 0 ? -n : n;
    }
    case 'D': {
      const auto date = bufferDate();
      ok = date.has_value();
      return date.value_or(Date{});
    }
    case 'L':
      return !buffer_.empty() && (upper(buffer_[0]) == 'T' || upper(buffer_[0]) == 'Y');
    default:
      ok = false;
      return {};
  }
}

// The date in the buffer: the empty date when every digit position is blank,
// nothing when the buffer holds an impossible date.
std::optional<Date> Get::bufferDate() const {
  const std::string format = dateFormat();
  if (format.size() != buffer_.size()) return std::nullopt;
  return parseDate(buffer_, format);
}

std::vector<int> Get::editable() const {
  std::vector<int> positions;
  for (std::size_t i = 0; i < mask_.size() && i < buffer_.size(); ++i) {
    if (isTemplateChar(mask_[i])) positions.push_back(static_cast<int>(i) + 1);
  }
  return positions;
}

int Get::firstEditable() const {
  const auto e = editable();
  return e.empty() ? 0 : e.front();
}

// The slot of `pos` among the editable positions; a position on a literal or
// outside the buffer counts as the nearest editable one to its right (or the
// last). `e` must not be empty.
int Get::index(const std::vector<int>& e) const {
  const auto it = std::lower_bound(e.begin(), e.end(), pos);
  return it == e.end() ? static_cast<int>(e.size()) - 1 : static_cast<int>(it - e.begin());
}

std::optional<char> Get::accept(char maskChar, char c) const {
  std::optional<char> out;
  switch (maskChar) {
    case '9':
      if (isDigit(c) || (type_ == 'N' && (c == '-' || c == '+' || c == ' '))) out = c;
      break;
    case '#':
      if (isDigit(c) || c == ' ' || c == '+' || c == '-') out = c;
      break;
    case 'A':
      if (isAlpha(c)) out = c;
      break;
    case 'N':
      if (isAlpha(c) || isDigit(c)) out = c;
      break;
    case 'X':
      out = c;
      break;
    case '!':
      out = upper(c);
      break;
    case 'L':
    case 'Y': {
      const char u = upper(c);
      if (u == 'T' || u == 'Y') out = maskChar == 'L' ? 'T' : 'Y';
      if (u == 'F' || u == 'N') out = maskChar == 'L' ? 'F' : 'N';
      break;
    }
    default:
      break;
  }
  if (out && functions_.find('!') != std::string::npos) out = upper(*out);
  return out;
}

void Get::ring() const {
  if (SET(SET_BELL).logOr(false)) RT().backend->bell();
}

// --- Members -------------------------------------------------------------------

std::string Get::type() const {
  return std::string(1, type_);
}

int Get::width() const {
  return static_cast<int>(buffer_.size());
}

Item Get::varGet() {
  return block_ ? block_->eval() : Item();
}

void Get::varPut(const Item& value) {
  if (block_) block_->eval({value});
}

int Get::posInBuffer(int r, int c) const {
  if (r != row || c < col || c >= col + width()) return 0;
  return c - col + 1;
}

bool Get::badDate() const {
  return type_ == 'D' && !bufferDate();
}

// --- Focus and screen --------------------------------------------------------

void Get::setFocus() {
  hasFocus_ = true;
  original_ = varGet();
  load(original_);
  changed = false;
  editFromStart();
}

// The cursor on the first editable position, the field not refused, and a
// number to be typed anew rather than edited in place.
void Get::editFromStart() {
  rejected_ = false;
  pos = firstEditable();
  typeOut_ = pos == 0;
  clear_ = type_ == 'N' || functions_.find('K') != std::string::npos;
  display();
}

void Get::killFocus() {
  hasFocus_ = false;
  clear_ = false;
  // The field shows what its variable holds, whatever became of the edit.
  load(varGet());
  pos = 0;
  display();
}

void Get::display() {
  const int oldRow = ROW();
  const int oldCol = COL();
  SETPOS(row, col);
  DISPOUT(buffer_, hasFocus_ ? enhanced_ : unselected_);
  if (hasFocus_) {
    SETPOS(row, col + std::max(pos, 1) - 1);
  } else {
    SETPOS(oldRow, oldCol);
  }
}

// --- Value transfer ------------------------------------------------------------

void Get::_assign() {
  bool ok = false;
  const Item value = bufferValue(ok);
  // An impossible date is never stored: the variable keeps its value.
  if (ok) varPut(value);
}

// Without focus there is no focus-time value; the buffer shows the variable.
void Get::undo() {
  if (!hasFocus_) {
    load(varGet());
    display();
    return;
  }
  load(original_);
  // The variable may already hold an edit assigned before a VALID refused it;
  // the field then still counts as changed, so that confirming it writes the
  // old value back and validates it.
  changed = !original_.same(varGet());
  editFromStart();
}

void Get::Reset() {
  load(varGet());
  rejected_ = false;
  pos = firstEditable();
  typeOut_ = pos == 0;
  clear_ = hasFocus_ && (type_ == 'N' || functions_.find('K') != std::string::npos);
  if (hasFocus_) display();
}

void Get::updateBuffer() {
  load(varGet());
  if (hasFocus_) {
    const auto e = editable();
    pos = e.empty() ? 0 : e[static_cast<std::size_t>(index(e))];
  }
  display();
}

// --- Cursor ------------------------------------------------------------------

std::vector<int> Get::startMove() {
  if (!hasFocus_) return {};
  clear_ = false;
  auto e = editable();
  typeOut_ = e.empty();
  return e;
}

void Get::home() {
  if (!hasFocus_) return;
  clear_ = false;
  pos = firstEditable();
  typeOut_ = pos == 0;
  display();
}

// To the position after the last character that is not blank.
void Get::_end() {
  const auto e = startMove();
  if (e.empty()) return;
  int last = -1;
  for (std::size_t k = 0; k < e.size(); ++k) {
    if (buffer_[static_cast<std::size_t>(e[k] - 1)] != ' ') last = static_cast<int>(k);
  }
  pos = last < 0 ? e.front() : e[std::min(static_cast<std::size_t>(last + 1), e.size() - 1)];
  display();
}

void Get::left() {
  const auto e = startMove();
  if (e.empty()) return;
  const int k = index(e);
  if (k == 0) {
    pos = e.front();
    typeOut_ = true;
  } else {
    pos = e[static_cast<std::size_t>(k - 1)];
  }
  display();
}

void Get::right() {
  const auto e = startMove();
  if (e.empty()) return;
  stepPast(e, static_cast<std::size_t>(index(e)));
}

// The cursor to the editable slot after slot k; past the last one it stays
// there and the field is typed out.
void Get::stepPast(const std::vector<int>& e, std::size_t k) {
  if (k + 1 < e.size()) {
    pos = e[k + 1];
  } else {
    pos = e[k];
    typeOut_ = true;
  }
  display();
}

// The slot where the word before slot k starts; -1 when k is the first slot.
int Get::wordLeftOf(const std::vector<int>& e, std::size_t k) const {
  if (k == 0) return -1;
  auto blank = [&](std::size_t j) { return buffer_[static_cast<std::size_t>(e[j] - 1)] == ' '; };
  std::size_t j = k - 1;
  while (j > 0 && blank(j)) --j;
  while (j > 0 && !blank(j - 1)) --j;
  return static_cast<int>(j);
}

// The slot where the word after slot k starts; -1 when no word follows.
int Get::wordRightOf(const std::vector<int>& e, std::size_t k) const {
  auto blank = [&](std::size_t j) { return buffer_[static_cast<std::size_t>(e[j] - 1)] == ' '; };
  std::size_t j = k;
  while (j < e.size() && !blank(j)) ++j;
  while (j < e.size() && blank(j)) ++j;
  return j < e.size() ? static_cast<int>(j) : -1;
}

void Get::wordLeft() {
  const auto e = startMove();
  if (e.empty()) return;
  const int j = wordLeftOf(e, static_cast<std::size_t>(index(e)));
  if (j < 0) {
    pos = e.front();
    typeOut_ = true;
  } else {
    pos = e[static_cast<std::size_t>(j)];
  }
  display();
}

// After the last word the cursor goes where _end() puts it.
void Get::wordRight() {
  if (!hasFocus_) return;
  const auto e = editable();
  if (e.empty()) {
    typeOut_ = true;
    return;
  }
  const int j = wordRightOf(e, static_cast<std::size_t>(index(e)));
  if (j < 0) {
    _end();
    return;
  }
  clear_ = false;
  typeOut_ = false;
  pos = e[static_cast<std::size_t>(j)];
  display();
}

// --- Deletion ----------------------------------------------------------------

// Removes `count` characters from slot k on; the editable characters after
// them close up, blanks fill the end, literals stay where they are.
void Get::deleteAt(const std::vector<int>& e, std::size_t k, std::size_t count) {
  auto at = [&](std::size_t j) -> char& { return buffer_[static_cast<std::size_t>(e[j] - 1)]; };
  for (std::size_t j = k; j < e.size(); ++j) at(j) = j + count < e.size() ? at(j + count) : ' ';
}

// The frame of every deletion: on the editable slots `e`, with the cursor in
// slot k, `remove` changes the buffer and says where the cursor goes; then
// the field is marked changed if it was, and shown.
template <class Remove>
void Get::deleteWith(Remove&& remove) {
  if (!hasFocus_) return;
  clear_ = false;
  const auto e = editable();
  if (e.empty()) return;
  const std::string before = buffer_;
  const auto k = static_cast<std::size_t>(index(e));
  pos = e[remove(e, k)];
  typeOut_ = false;
  changed = changed || buffer_ != before;
  display();
}

void Get::backSpace() {
  deleteWith([this](const std::vector<int>& e, std::size_t k) {
    if (typeOut_ && k + 1 == e.size()) {
      // The cursor stands past the end after the last character typed: that
      // character is the one before it.
      deleteAt(e, k, 1);
      return k;
    }
    if (k == 0) return k;
    deleteAt(e, k - 1, 1);
    return k - 1;
  });
}

void Get::del() {
  deleteWith([this](const std::vector<int>& e, std::size_t k) {
    deleteAt(e, k, 1);
    return k;
  });
}

void Get::delWordLeft() {
  deleteWith([this](const std::vector<int>& e, std::size_t k) {
    const int j = wordLeftOf(e, k);
    if (j < 0) return k;
    deleteAt(e, static_cast<std::size_t>(j), k - static_cast<std::size_t>(j));
    return static_cast<std::size_t>(j);
  });
}

// Deletes from the cursor to the start of the next word.
void Get::delWordRight() {
  deleteWith([this](const std::vector<int>& e, std::size_t k) {
    const int j = wordRightOf(e, k);
    deleteAt(e, k, (j < 0 ? e.size() : static_cast<std::size_t>(j)) - k);
    return k;
  });
}

void Get::delEnd() {
  deleteWith([this](const std::vector<int>& e, std::size_t k) {
    for (std::size_t j = k; j < e.size(); ++j) buffer_[static_cast<std::size_t>(e[j] - 1)] = ' ';
    return k;
  });
}

// --- Typing ------------------------------------------------------------------

void Get::insert(char c) {
  typeIn(c, true);
}

void Get::overstrike(char c) {
  typeIn(c, false);
}

// Puts one typed character at the cursor and moves on; typeOut tells that it
// filled the last editable position. A character the picture refuses there
// is not taken.
void Get::typeIn(char c, bool insertMode) {
  rejected_ = false;
  if (!hasFocus_) return;
  const auto e = editable();
  if (e.empty()) {
    typeOut_ = true;
    return;
  }
  typeOut_ = false;
  auto k = static_cast<std::size_t>(index(e));
  // A cursor put elsewhere (by a click) means the value is being edited.
  if (k != 0) clear_ = false;
  const auto ch = accept(mask_[static_cast<std::size_t>(e[k] - 1)], c);
  if (!ch) {
    rejected_ = true;
    ring();
    display();
    return;
  }
  if (clear_) {
    buffer_ = blankBuffer();
    k = 0;
    clear_ = false;
  }
  auto at = [&](std::size_t j) -> char& { return buffer_[static_cast<std::size_t>(e[j] - 1)]; };
  if (insertMode) {
    for (std::size_t j = e.size() - 1; j > k; --j) at(j) = at(j - 1);
  }
  at(k) = *ch;
  changed = true;
  stepPast(e, k);
}

// Clears a numeric field that has not been touched since focus, so that a
// decimal point typed first starts a new number.
void Get::condClear() {
  if (!hasFocus_) return;
  if (clear_) {
    const std::string before = buffer_;
    buffer_ = blankBuffer();
    pos = firstEditable();
    changed = changed || buffer_ != before;
    display();
  }
  clear_ = false;
}

// The decimal point of a number: the digits typed so far close up to the
// right of the whole-number part and the cursor goes to the first decimal.
// Without decimals in the picture the number closes up to the right end and
// the cursor stays on its last digit.
void Get::toDecPos() {
  if (!hasFocus_ || type_ != 'N') return;
  clear_ = false;
  typeOut_ = false;
  const auto e = editable();
  if (e.empty()) return;
  const auto point = mask_.find('.');
  const std::size_t intEnd = point == std::string::npos ? mask_.size() : point;

  std::string digits;
  bool negative = false;
  std::size_t slots = 0;
  for (int p : e) {
    const auto i = static_cast<std::size_t>(p - 1);
    if (i >= intEnd) break;
    ++slots;
    if (buffer_[i] == '-') negative = true;
    if (isDigit(buffer_[i])) digits += buffer_[i];
  }
  const auto nonZero = digits.find_first_not_of('0');
  if (!digits.empty()) digits = nonZero == std::string::npos ? "0" : digits.substr(nonZero);
  if (negative) digits = "-" + digits;
  digits = std::string(slots - std::min(slots, digits.size()), ' ') + digits;

  const std::string before = buffer_;
  std::size_t a = 0;
  bool digitSeen = false;
  for (std::size_t i = 0; i < intEnd && i < buffer_.size(); ++i) {
    if (isTemplateChar(mask_[i])) {
      buffer_[i] = digits[a++];
      digitSeen = digitSeen || isDigit(buffer_[i]);
    } else if (type_ == 'N' && mask_[i] == ',') {
      buffer_[i] = digitSeen ? ',' : ' ';
    }
  }
  changed = changed || buffer_ != before;

  pos = e.back();
  for (int p : e) {
    if (static_cast<std::size_t>(p - 1) > intEnd) {
      pos = p;
      break;
    }
  }
  display();
}

// --- Reachable by name -----------------------------------------------------------

Item Get::getMember(std::string_view memberName) {
  const std::string n = lowerName(memberName);
  if (n == "exitstate") return exitState.isNil() ? Item() : Item(static_cast<int>(exitState));
  if (n == "typeout") return typeOut_;
  if (n == "hasfocus") return hasFocus_;
  if (n == "changed") return changed;
  if (n == "type") return type();
  if (n == "buffer") return buffer_;
  if (n == "row") return row;
  if (n == "col") return col;
  if (n == "pos") return pos;
  if (n == "width") return width();
  if (n == "name") return name;
  if (n == "preblock") return preBlock;
  if (n == "postblock") return postBlock;
  if (n == "reader") return reader;
  if (n == "cargo") return cargo;
  if (n == "picture") return picture_;
  if (n == "block") return block_ ? Item(block_) : Item();
  if (n == "colorspec") return colorSpec_;
  if (n == "original") return original_;
  if (n == "rejected") return rejected_;
  if (n == "clear") return clear_;
  if (n == "decpos") {
    const auto point = mask_.find('.');
    return type_ == 'N' && point != std::string::npos ? static_cast<int>(point) + 1 : 0;
  }
  return Object::getMember(memberName);
}

void Get::setMember(std::string_view memberName, const Item& value) {
  const std::string n = lowerName(memberName);
  if (n == "exitstate") {
    exitState =
        value.isNil() ? ExitStateValue::nil() : ExitStateValue(static_cast<int>(value.num()));
  } else if (n == "pos") {
    pos = static_cast<int>(value.num());
  } else if (n == "row") {
    row = static_cast<int>(value.num());
  } else if (n == "col") {
    col = static_cast<int>(value.num());
  } else if (n == "name") {
    name = value;
  } else if (n == "preblock") {
    preBlock = value;
  } else if (n == "postblock") {
    postBlock = value;
  } else if (n == "reader") {
    reader = value;
  } else if (n == "cargo") {
    cargo = value;
  } else if (n == "changed") {
    changed = value.log();
  } else if (n == "clear") {
    clear_ = value.log();
  } else if (n == "buffer") {
    const std::string& text = value.str();
    if (text != buffer_) changed = true;
    buffer_ = text;
  } else if (n == "picture") {
    picture_ = value.str();
    parsePicture();
    load(varGet());
  } else if (n == "colorspec") {
    setColors(value);
  } else if (n == "block") {
    block_ = value.isBlock() ? value.block() : nullptr;
  } else {
    Object::setMember(memberName, value);
  }
}

namespace {

using GetMethod = void (Get::*)();

// Methods without arguments or result; each answers with the Get itself.
const std::map<std::string, GetMethod>& plainMethods() {
  static const std::map<std::string, GetMethod> table{
      {"setfocus", &Get::setFocus},
      {"killfocus", &Get::killFocus},
      {"display", &Get::display},
      {"_assign", &Get::_assign},
      {"assign", &Get::_assign},
      {"undo", &Get::undo},
      {"reset", &Get::Reset},
      {"updatebuffer", &Get::updateBuffer},
      {"home", &Get::home},
      {"_end", &Get::_end},
      {"end", &Get::_end},
      {"left", &Get::left},
      {"right", &Get::right},
      {"wordleft", &Get::wordLeft},
      {"wordright", &Get::wordRight},
      {"backspace", &Get::backSpace},
      {"delete", &Get::del},
      {"delwordleft", &Get::delWordLeft},
      {"delwordright", &Get::delWordRight},
      {"delend", &Get::delEnd},
      {"condclear", &Get::condClear},
      {"todecpos", &Get::toDecPos},
  };
  return table;
}

// A typed character given as text (its first byte) or as a code.
std::optional<char> charArg(const Item& value) {
  if (value.isStr() && !value.str().empty()) return value.str()[0];
  if (value.isNum()) return static_cast<char>(static_cast<int>(value.num()));
  return std::nullopt;
}

}  // namespace

Item Get::send(std::string_view method, std::span<const Item> args) {
  const std::string m = lowerName(method);
  const Item self(shared_from_this());
  if (const auto it = plainMethods().find(m); it != plainMethods().end()) {
    (this->*(it->second))();
    return self;
  }
  if (m == "varget") return varGet();
  if (m == "varput") {
    varPut(arg(args, 0));
    return arg(args, 0);
  }
  if (m == "baddate") return badDate();
  if (m == "posinbuffer") {
    return posInBuffer(static_cast<int>(arg(args, 0).numOr(-1)),
                       static_cast<int>(arg(args, 1).numOr(-1)));
  }
  if (m == "insert" || m == "overstrike") {
    if (const auto c = charArg(arg(args, 0))) {
      if (m == "insert") {
        insert(*c);
      } else {
        overstrike(*c);
      }
    }
    return self;
  }
  return Object::send(method, args);
}

// --- The class object ----------------------------------------------------------

namespace {

class GetClass final : public Object {
 public:
  std::string className() const override { return "GET"; }
  Item send(std::string_view method, std::span<const Item> args) override {
    if (lowerName(method) != "new") return Object::send(method, args);
    const Item& accessor = arg(args, 2);
    return Get::New(static_cast<int>(arg(args, 0).numOr(0)),
                    static_cast<int>(arg(args, 1).numOr(0)),
                    accessor.isBlock() ? accessor.block() : nullptr, arg(args, 3),
                    arg(args, 4).strOr(""), arg(args, 5), arg(args, 6), arg(args, 7));
  }
};

}  // namespace

Item GET() {
  return Item(std::make_shared<GetClass>());
}

}  // namespace krx
