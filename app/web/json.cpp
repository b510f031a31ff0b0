#include "app/web/json.h"

#include <cmath>
#include <cstdio>

namespace potclock {

namespace {

// The length of the UTF-8 sequence at the start of `s`, or 0 when it is not
// one (a stray continuation byte, an overlong or surrogate form, a cut end).
std::size_t utf8Length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t n = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const std::size_t n = utf8Length(text);
    if (n == 0) {
      out += "\\ufffd";
      text.remove_prefix(1);
      continue;
    }
    const char c = text[0];
    if (n > 1) {
      out += text.substr(0, n);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out += escaped;
    } else if (c == '<') {
      // Never "</script>" or "<!--", should the text ever land in a page.
      out += "\\u003c";
    } else {
      out += c;
    }
    text.remove_prefix(n);
  }
  return out + "\"";
}

void JsonObject::key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  text_ += jsonString(key);
  text_ += ':';
}

JsonObject& JsonObject::add(std::string_view k, std::string_view value) {
  key(k);
  text_ += jsonString(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool value) {
  key(k);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, long value) {
  key(k);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, double value) {
  key(k);
  // JSON has no infinity and no NaN.
  if (!std::isfinite(value)) value = 0;
  char number[40];
  std::snprintf(number, sizeof number, "%.3f", value);
  text_ += number;
  return *this;
}

}  // namespace potclock
