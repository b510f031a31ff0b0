#include "runtime/backends/keydecoder.h"

#include <cstring>

#include "runtime/backends/termcaps.h"
#include "runtime/console/console.h"
#include "runtime/lang/strings.h"

namespace krx {

namespace {

// Alt with a printable character, as a terminal sends it (Escape, then the
// character at once): one key, never Escape. Letters, digits, '-' and '='
// take the keyboard's own Alt codes (256 plus the key's scan code); any
// other character K_ALT_OTHER plus the character.
int altKey(char c) {
  static constexpr std::string_view kRows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  static constexpr int kRowScan[] = {16, 30, 44};
  const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  for (int r = 0; r < 3; ++r)
    if (const auto at = kRows[r].find(lower); at != std::string_view::npos)
      return 256 + kRowScan[r] + static_cast<int>(at);
  if (c >= '1' && c <= '9') return K_ALT_1 + (c - '1');
  if (c == '0') return K_ALT_1 + 9;
  if (c == '-') return K_ALT_1 + 10;
  if (c == '=') return K_ALT_1 + 11;
  return K_ALT_OTHER + static_cast<unsigned char>(c);
}

}  // namespace

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
  if (p[1] >= 0x20 && p[1] < 0x7f) return {2, altKey(p[1])};
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

}  // namespace krx
