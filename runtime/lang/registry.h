// The public routine registry and the runtime's table of built-ins.
//
// Text compiled at run time reaches routines by name, without regard to case:
// first the runtime's built-ins, then the program's public routines, which
// the program registers at start-up in its own order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/lang/object.h"

namespace krx {

struct PublicRoutine {
  std::string name;  // upper case
  int params = 0;    // declared parameter count
  NativeFn fn;
  bool classFunction = false;
};

class Registry {
 public:
  // Appends a row; a second row of the same name replaces the first in place.
  void add(std::string name, int params, NativeFn fn, bool classFunction = false);
  const PublicRoutine* find(std::string_view name) const;
  const std::vector<PublicRoutine>& rows() const { return rows_; }
  void clear() { rows_.clear(); }
  // Room for that many rows, made at once.
  void reserve(std::size_t rows) { rows_.reserve(rows); }

 private:
  std::vector<PublicRoutine> rows_;
};

// The runtime's own callable-by-name functions (IIf is handled by the
// compiler, since it evaluates only one branch): the language's, built once,
// then those of the services the current context offers.
const PublicRoutine* findBuiltin(std::string_view name);

// The row of that name in a table sorted by name; null when there is none.
const PublicRoutine* findInTable(const std::vector<PublicRoutine>& sorted,
                                 std::string_view upperName);

// Resolves a name as compiled text does: built-ins first, then the registry
// of the current runtime. Null when neither has it.
const PublicRoutine* resolveRoutine(std::string_view name);

// ISFUNCTION(name, flags): true when a routine or class of that name exists.
bool ISFUNCTION(std::string_view name, int flags = 67);

// Upper-cases ASCII letters (names, case-insensitive lookups).
std::string upperAscii(std::string_view s);

}  // namespace krx
