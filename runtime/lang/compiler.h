// The run-time compiler: callables and expressions given as source text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/lang/object.h"

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

// Parameters and bound variables are settled when a text is compiled, and so
// are built-ins; routines of the registry, fields and dynamically scoped
// variables when it runs, so that a text may be compiled before the routine
// it calls is registered. An unknown name raises then (EG_NOFUNC, EG_NOVAR),
// and the handler may retry, substitute a value or take the default (nil).
// Runaway recursion through callables raises EG_BOUND; a string operator
// whose result would pass 65535 characters raises EG_STROVERFLOW.

}  // namespace krx
