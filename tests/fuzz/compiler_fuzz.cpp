// Feeds arbitrary text to the run-time compiler, both as an expression and as
// a callable, and evaluates what compiles. Every failure must come back as a
// runtime error (turned into a break by the handler here); anything else, a
// crash, a sanitizer report, a hang, is a fault.
//
// Run it with -detect_leaks=0: a text can make a value that holds itself
// (AAdd(a, a), a callable stored in a parameter it captures), and reference
// counting does not reclaim those. `make fuzz` runs it so, with the
// dictionary and the seeds beside this file.
//
// Some short texts do a finite but enormous amount of work: AEval over
// Array(4096) inside another is 16 million calls, and a callable stored where
// it can reach itself recurses 64 deep, each level iterating or calling
// itself twice. Such work is bounded by the array limit and the recursion
// limit, as it should be, but would only ever show as a time-out here, so
// texts that could do it are skipped (see tooCostly()).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/backends/headless.h"
#include "runtime/console/context.h"
#include "runtime/console/kept/workarea.h"
#include "runtime/console/kept/workareaaccess.h"
#include "runtime/lang/compiler.h"
#include "runtime/lang/error.h"

namespace {

std::size_t count(std::string_view text, std::string_view word) {
  std::size_t n = 0;
  const auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
  };
  for (auto it = text.begin();; ++it) {
    it = std::search(it, text.end(), word.begin(), word.end(), same);
    if (it == text.end()) return n;
    ++n;
  }
}

// An iteration (AEval, AScan) may not hold another one, and a text that
// stores something (where a callable could keep itself) may neither iterate
// nor call a callable twice. A text that stores nothing has no callable that
// reaches itself, so it cannot recurse.
bool tooCostly(std::string_view text) {
  const std::size_t iterations = count(text, "AEVAL") + count(text, "ASCAN");
  const std::size_t calls = count(text, "EVAL");  // AEval and :eval too
  const bool stores =
      count(text, ":=") + count(text, "AADD") + count(text, "FIELDPUT") + count(text, "SET") > 0;
  return iterations > 1 || (stores && (iterations > 0 || calls > 1));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // SET(19, ...) reachable from the text opens files: keep them out of the
  // source tree.
  char dir[] = "/tmp/krx-compiler-fuzz-XXXXXX";
  if (::mkdtemp(dir) && ::chdir(dir) == 0) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (tooCostly(text)) return -1;  // kept out of the corpus
  krx::Runtime rt(std::make_unique<krx::HeadlessBackend>());
  krx::RuntimeScope scope(rt);
  krx::offerWorkAreas(rt);
  krx::ERRORBLOCK(
      krx::Item(krx::makeBlock("{|e| Break(e)}", [](std::span<const krx::Item> args) -> krx::Item {
        krx::BREAK(args.empty() ? krx::Item() : args[0]);
      })));
  // Something for names to find: a public, a work area with a record.
  rt.memvars.definePublic("getList", krx::makeArray());
  krx::dbOpenMemory("CUST", {"NAME", "AGE"}, {{"Ann", 30}});
  try {
    krx::sequence([&] { krx::macroEval(text); });
    krx::sequence([&] {
      if (krx::BlockRef b = krx::compileBlock(text)) {
        b->eval();
        b->eval({1, "x", krx::Item()});
      }
    });
  } catch (const krx::ScriptExhausted&) {
    // INKEY(0) with no key to give: the test harness's stop, not a fault.
  } catch (const krx::QuitSignal&) {
    // Only a handler that cannot run ends the program; still not a crash.
  }
  return 0;
}
