// The text of an error as the default handler shows it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "runtime/lang/error.h"

namespace potclock {

// A number as the error texts show it: without the leading blanks.
std::string decimal(double n);
// Level `level` of the call stack as the error texts name it: NAME(LINE).
std::string callerText(int level);

// One string of ";"-separated lines: severity word, subsystem and subcode
// first, then description, file, operation, thread and, when the handler has
// put a session error into `cargo`, the session's texts.
std::string ERRORMESSAGE(const krx::Error& oError);

// Word-wraps `cText` to lines of at most `nWidth` columns, trailing blanks
// removed, joined by ";" (none at either end).
std::string LINESPLIT(std::string_view cText, int nWidth);

// LINESPLIT as a public routine reached by name.
krx::Item LINESPLIT_entry(std::span<const krx::Item> args);

}  // namespace potclock
