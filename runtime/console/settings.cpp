#include "runtime/console/settings.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "runtime/console/context.h"
#include "runtime/console/safefile.h"
#include "runtime/lang/error.h"
#include "runtime/lang/strings.h"

namespace krx {

// The open alternate output file. A write that fails is reported once; the
// rest of that file's output is then dropped, so that an error handler that
// writes its log through this channel cannot fail in a loop.
struct AlternateFile {
  std::FILE* file = nullptr;
  std::string name;
  bool failed = false;
  ~AlternateFile() {
    if (file) std::fclose(file);
  }
};

Settings::~Settings() = default;

namespace {

// What each numbered setting holds; a value of another type is refused.
enum class Kind { Any, Logical, Text, Number, AltFile };

struct SettingRow {
  int number;
  Kind kind;
  Item initial;
};

// The settings the program uses, with the defaults a user of this runtime
// expects: no bell, no confirm, overwrite mode, no read exit, two-digit
// years; Escape allowed and the scoreboard shown.
const SettingRow kSettings[] = {
    {SET_DATEFORMAT, Kind::Text, "mm/dd/yy"}, {SET_CONSOLE, Kind::Logical, true},
    {SET_ALTERNATE, Kind::Logical, false},    {SET_ALTFILE, Kind::AltFile, ""},
    {SET_EXTRA, Kind::Logical, false},        {SET_PRINTER, Kind::Logical, false},
    {SET_BELL, Kind::Logical, false},         {SET_CONFIRM, Kind::Logical, false},
    {SET_ESCAPE, Kind::Logical, true},        {SET_INSERT, Kind::Logical, false},
    {SET_EXIT, Kind::Logical, false},         {SET_SCOREBOARD, Kind::Logical, true},
    {SET_CENTURY, Kind::Logical, false},      {SET_41, Kind::Number, 0},
    {SET_HANDLEEVENT, Kind::Logical, false},
};

Kind kindOf(int n) {
  for (const auto& row : kSettings)
    if (row.number == n) return row.kind;
  return Kind::Any;
}

AlternateFile* alternate() {
  return RT().settings.alternate.get();
}

Item refuse(int n, const Item& value, const Item& current) {
  auto e = makeError(EG_ARG,
                     "Argument error: SET(" + std::to_string(n) + ") refuses a value of type " +
                         std::string(1, value.type()),
                     "SET", {Item(n), value});
  e->canDefault = true;
  e->canSubstitute = true;
  return raiseForResult(e, current);
}

// A logical setting's new value: logicals as they are, "ON"/"OFF" in any
// case and with blanks around; nullopt for anything else.
std::optional<bool> asLogical(const Item& value) {
  if (value.isLog()) return value.log();
  if (value.isStr()) {
    std::string word = UPPER(ALLTRIM(value.str()));
    if (word == "ON") return true;
    if (word == "OFF") return false;
  }
  return std::nullopt;
}

// Keeps the year part of a date format in step with the century setting.
std::string withCentury(std::string format, bool century) {
  std::size_t y = format.find_first_of("yY");
  if (y == std::string::npos) return format;
  std::size_t end = format.find_first_not_of("yY", y);
  std::size_t run = (end == std::string::npos ? format.size() : end) - y;
  format.replace(y, run, century ? "yyyy" : "yy");
  return format;
}

bool hasCentury(const std::string& format) {
  std::size_t y = format.find_first_of("yY");
  if (y == std::string::npos) return false;
  std::size_t end = format.find_first_not_of("yY", y);
  return (end == std::string::npos ? format.size() : end) - y >= 4;
}

// Opens (or with "" closes) the alternate output file. On failure the error
// goes to the handler, which may retry; the setting is left as it was.
Item setAlternateFile(const Item& value, bool additive) {
  Runtime& rt = RT();
  Item previous = rt.settings.values[SET_ALTFILE];
  if (!value.isStr()) return refuse(SET_ALTFILE, value, previous);
  std::string name = ALLTRIM(value.str());
  if (name.empty()) {
    rt.settings.alternate.reset();
    rt.settings.values[SET_ALTFILE] = "";
    return previous;
  }
  // What the old handle still buffers must land before a reopen truncates.
  if (AlternateFile* old = alternate(); old && old->file) std::fflush(old->file);
  for (;;) {
    errno = 0;
    // Anything but a regular file under that name (a planted link, a FIFO)
    // counts as a file that cannot be opened.
    std::FILE* f = openRegularForWriting(name, additive);
    if (f) {
      auto alt = std::make_unique<AlternateFile>();
      alt->file = f;
      alt->name = name;
      rt.settings.alternate = std::move(alt);
      rt.settings.values[SET_ALTFILE] = name;
      return previous;
    }
    int os = errno;
    auto e = makeError(EG_CREATE, "Create error", "SET",
                       {Item(static_cast<int>(SET_ALTFILE)), value, Item(additive)});
    e->filename = name;
    e->osCode = os;
    e->canRetry = true;
    e->canDefault = true;
    if (raise(e).kind != Recovery::Retry) return previous;
  }
}

}  // namespace

Settings::Settings() {
  for (const auto& row : kSettings) values[static_cast<std::size_t>(row.number)] = row.initial;
}

Item SET(int n) {
  if (n < 0 || n >= SET_COUNT) {
    auto e = makeError(EG_ARG, "Argument error: no setting " + std::to_string(n), "SET", {Item(n)});
    e->canDefault = true;
    e->canSubstitute = true;
    return raiseForResult(e);
  }
  return RT().settings.values[static_cast<std::size_t>(n)];
}

Item SET(int n, const Item& value, bool additive) {
  Item previous = SET(n);
  if (n < 0 || n >= SET_COUNT || value.isNil()) return previous;
  auto& values = RT().settings.values;
  Item& slot = values[static_cast<std::size_t>(n)];
  switch (kindOf(n)) {
    case Kind::Logical: {
      std::optional<bool> on = asLogical(value);
      if (!on) return refuse(n, value, previous);
      slot = *on;
      if (n == SET_CENTURY)
        values[SET_DATEFORMAT] = withCentury(values[SET_DATEFORMAT].strOr("mm/dd/yy"), *on);
      return previous;
    }
    case Kind::Text:
      if (!value.isStr()) return refuse(n, value, previous);
      slot = value;
      if (n == SET_DATEFORMAT) values[SET_CENTURY] = hasCentury(value.str());
      return previous;
    case Kind::Number:
      if (!value.isNum()) return refuse(n, value, previous);
      slot = value;
      return previous;
    case Kind::AltFile:
      return setAlternateFile(value, additive);
    case Kind::Any:
      slot = value;
      return previous;
  }
  return previous;
}

void writeAlternate(std::string_view bytes) {
  Runtime& rt = RT();
  AlternateFile* alt = alternate();
  if (!alt || !alt->file || alt->failed || !rt.settings.values[SET_ALTERNATE].logOr(false)) return;
  if (bytes.empty()) return;
  errno = 0;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), alt->file) == bytes.size();
  // Flushed at once: this channel carries the error log, written just before
  // the program ends.
  ok = std::fflush(alt->file) == 0 && ok;
  if (ok) return;
  alt->failed = true;
  auto e = makeError(EG_WRITE, "Write error", "alternate output");
  e->filename = alt->name;
  e->osCode = errno;
  e->canDefault = true;
  raise(e);
}

}  // namespace krx
