// Feeds arbitrary text to the run-time compiler, both as an expression and as
// a callable, and evaluates what compiles. Every failure must come back as a
// runtime error (turned into a break by the handler here); anything else, a
// crash, a sanitizer report, a hang, is a fault.
//
// Run it with -detect_leaks=0: a text can make a value that holds itself
// (AAdd(a, a), a callable stored in a parameter it captures), and reference
// counting does not reclaim those. With the dictionary beside this file:
//   compiler_fuzz -max_total_time=60 -detect_leaks=0 -dict=tests/fuzz/compiler_fuzz.dict
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/compiler.h"
#include "runtime/context.h"
#include "runtime/error.h"
#include "runtime/headless.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // SET(19, ...) reachable from the text opens files: keep them out of the
  // source tree.
  char dir[] = "/tmp/krx-compiler-fuzz-XXXXXX";
  if (::mkdtemp(dir) && ::chdir(dir) == 0) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  krx::Runtime rt(std::make_unique<krx::HeadlessBackend>());
  krx::RuntimeScope scope(rt);
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
