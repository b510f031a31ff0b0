#include "harness/potclock_screen.h"

#include <memory>

#include "bigtext/bigletters.h"
#include "runtime/context.h"
#include "runtime/headless.h"
#include "runtime/screen.h"

namespace e2e {

void settle(VtermPty& term) {
  for (int i = 0; i < 20; ++i) {
    const auto before = term.bytesRead();
    term.pump(0.1);
    if (term.bytesRead() == before) return;
  }
}

std::array<std::string, 6> bigRows(std::string_view phrase) {
  krx::Runtime rt(std::make_unique<krx::HeadlessBackend>());
  krx::RuntimeScope scope(rt);
  std::array<std::string, 6> rows;
  for (int r = 0; r < 6; ++r) {
    std::string bytes = potclock::BIGLETTERS(phrase, r + 1);
    bytes.resize(krx::Screen::kCols, ' ');
    rows[r] = krx::cp437ToUtf8(bytes);
  }
  return rows;
}

}  // namespace e2e
