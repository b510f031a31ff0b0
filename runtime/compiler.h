// The run-time compiler: callables and expressions given as source text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/object.h"

namespace krx {

// Variables of the routine that compiles a text, bound into it by name (the
// text refers to them as to its own locals).
using Bindings = std::vector<std::pair<std::string, VarRef>>;

// Compiles "{|params| expr, expr, ...}" into a callable that keeps the text
// as its source. A malformed text raises a runtime error (EG_SYNTAX) whose
// description names the offending text; null when the handler gives no
// callable as substitute.
BlockRef compileBlock(std::string_view source, const Bindings& bindings = {});

// The macro operator: evaluates an expression given as text.
Item macroEval(std::string_view expression, const Bindings& bindings = {});

}  // namespace krx
