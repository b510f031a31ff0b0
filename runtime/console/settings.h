// Numbered runtime settings, read and changed with SET.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "runtime/lang/item.h"

namespace krx {

enum SetNumber : int {
  SET_DATEFORMAT = 4,
  SET_CONSOLE = 17,
  SET_ALTERNATE = 18,
  SET_ALTFILE = 19,
  SET_EXTRA = 21,
  SET_PRINTER = 23,
  SET_BELL = 26,
  SET_CONFIRM = 27,
  SET_ESCAPE = 28,
  SET_INSERT = 29,
  SET_EXIT = 30,
  SET_SCOREBOARD = 32,
  SET_CENTURY = 40,
  SET_41 = 41,
  SET_HANDLEEVENT = 44,
  SET_COUNT = 48,
};

struct AlternateFile;  // the open file of setting 19 (the settings module's)

// The values themselves; defaults are set by the constructor.
struct Settings {
  Settings();
  ~Settings();
  std::array<Item, SET_COUNT> values;
  std::unique_ptr<AlternateFile> alternate;  // closed with the runtime
};

// SET(n): the current value. SET(n, value[, additive]): sets it and returns
// the previous value. Logical settings also take "ON" and "OFF". Setting 19
// opens (or, given "", closes) the alternate output file; a file that cannot
// be opened raises a runtime error (EG_CREATE) and leaves the setting as it was.
// Only a regular file is opened: a symbolic link, a FIFO, a device or a
// directory under the name counts as a file that cannot be opened.
Item SET(int n);
Item SET(int n, const Item& value, bool additive = false);

// The console stream's second destination: appends the bytes to the
// alternate output file while setting 18 is on and setting 19 names an open
// file; does nothing otherwise.
void writeAlternate(std::string_view bytes);

}  // namespace krx
