// libFuzzer target for edit-field editing: a field made with any picture over
// a character, number, date or logical start value, then any sequence of keys
// through GETAPPLYKEY. No key may crash, trip a sanitizer or raise a runtime
// error, and the buffer keeps one byte per column of the field: as long as the
// template for text and numbers that have one, as the date format for dates,
// one byte for logicals, and unchanged from focus to focus otherwise.
//
// Input, split at the first two line feeds:
//   byte 0      settings: bits 0-1 the type (C N D L), bit 2 insert, bit 3
//               confirm, bit 4 escape, bits 5-7 the date format
//   line 1      the picture (the rest of the first line after byte 0)
//   line 2      the start value: text as it is; a number as VAL reads it; a
//               date as year, month and day (any non-digits between); a
//               logical true when it starts with T, t, Y or y
//   the rest    one key per byte, byte 0 standing for Shift-Tab
// A key that leaves the field does what a read does with it: the buffer is
// assigned (unless escaped) and focus is taken and given back.
//   build-fuzz/tests/fuzz/get_edit_fuzz -dict=tests/fuzz/get_edit_fuzz.dict
//   tests/fuzz/corpus/get_edit_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "forms/accessors.h"
#include "forms/applykey.h"
#include "forms/readstatus.h"
#include "runtime/backends/headless.h"
#include "runtime/console/console.h"
#include "runtime/console/context.h"
#include "runtime/console/get.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace {

constexpr const char* kDateFormats[] = {"mm/dd/yy", "mm/dd/yyyy", "dd.mm.yyyy", "yyyy-mm-dd",
                                        "dd/mm/yy", "yy.mm.dd",   "dd-mm-yyyy", "yyyy/mm/dd"};

// Pulls the text up to the next line feed off the front of `in`.
std::string_view line(std::string_view& in) {
  const auto end = in.find('\n');
  const std::string_view out = in.substr(0, end);
  in = end == std::string_view::npos ? std::string_view() : in.substr(end + 1);
  return out;
}

krx::Date dateFrom(std::string_view text) {
  int part[3] = {0, 0, 0};
  int k = -1;
  bool inNumber = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      if (!inNumber && ++k == 3) break;
      inNumber = true;
      if (part[k] < 100000) part[k] = part[k] * 10 + (c - '0');
    } else {
      inNumber = false;
    }
  }
  return k < 2 ? krx::Date{} : krx::makeDate(part[0], part[1], part[2]);
}

krx::Item startValue(char type, std::string_view text) {
  switch (type) {
    case 'C':
      return std::string(text);
    case 'N':
      return krx::VAL(text);
    case 'D':
      return dateFrom(text);
    default:
      return !text.empty() &&
             (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
  }
}

// The template: the picture less any "@" functions before the first blank.
std::string_view templateOf(std::string_view picture) {
  if (picture.empty() || picture[0] != '@') return picture;
  const auto blank = picture.find(' ');
  return blank == std::string_view::npos ? std::string_view() : picture.substr(blank + 1);
}

// The width the buffer must have for the field's type; 0 where only the
// start value decides it (text or a number without a template).
std::size_t pictureWidth(char type, std::string_view picture, std::string_view dateFormat) {
  const std::string_view tmpl = templateOf(picture);
  switch (type) {
    case 'C':
    case 'N':
      return tmpl.size();
    case 'D':
      return dateFormat.size();
    default:
      return 1;
  }
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const auto settings = static_cast<unsigned char>(in[0]);
  in.remove_prefix(1);
  const std::string picture(line(in));
  const std::string_view valueText = line(in);
  const std::string_view keys = in;
  const char type = "CNDL"[settings & 3];
  const char* dateFormat = kDateFormats[settings >> 5];

  krx::Runtime rt(std::make_unique<krx::HeadlessBackend>());
  krx::RuntimeScope scope(rt);
  // No key is ever an error: a runtime error raised while editing is a fault.
  krx::ERRORBLOCK(krx::Item(krx::makeBlock(
      "{|e| Abort()}", [](std::span<const krx::Item>) -> krx::Item { std::abort(); })));
  krx::SET(krx::SET_INSERT, (settings & 4) != 0);
  krx::SET(krx::SET_CONFIRM, (settings & 8) != 0);
  krx::SET(krx::SET_ESCAPE, (settings & 16) != 0);
  krx::SET(krx::SET_DATEFORMAT, dateFormat);

  krx::VarRef var = krx::makeVar(startValue(type, valueText));
  auto get = krx::Get::New(1, 1, potclock::ANCHORCB(var), krx::Item("xVar"), picture);
  check(get->type() == std::string(1, type));
  const std::size_t expected = pictureWidth(type, picture, dateFormat);
  get->setFocus();
  std::size_t width = get->buffer().size();
  check(expected == 0 || width == expected);

  for (const unsigned char byte : keys) {
    const int key = byte == 0 ? krx::K_SH_TAB : byte;
    potclock::GETAPPLYKEY(*get, key);
    check(get->buffer().size() == width);
    check(get->pos >= 0 && static_cast<std::size_t>(get->pos) <= width);
    if (get->exitState != potclock::EXIT_NONE) {
      if (get->exitState != potclock::EXIT_ESCAPE) get->_assign();
      get->killFocus();
      get->setFocus();
      get->exitState = potclock::EXIT_NONE;
      check(get->type() == std::string(1, type));
      width = get->buffer().size();
      check(expected == 0 || width == expected);
    }
  }
  return 0;
}
