// A headless runtime for one test: made current for the fixture's life, with
// the program's public routines registered, and the screen as text for
// assertions and failure messages.
#pragma once

#include <string>

#include "runtime/backends/headless.h"
#include "runtime/console/context.h"

struct TestRuntime {
  TestRuntime();
  // Starts the wall clock at `start` (the runtime reads it once, when made).
  explicit TestRuntime(krx::LocalTime start);

  krx::Runtime rt;
  krx::HeadlessBackend& hl;

  // The 25 rows, each 80 characters of UTF-8 followed by a line feed; block
  // and line-drawing bytes show as their Unicode shapes.
  std::string screenText() const;
  // One row, 80 characters of UTF-8, trailing blanks kept.
  std::string rowText(int row) const;
  krx::Attr attrAt(int row, int col) const;

 private:
  explicit TestRuntime(const krx::LocalTime* start);  // null: the backend's default

  krx::RuntimeScope scope_;
};
