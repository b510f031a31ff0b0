// libFuzzer target for the key decoder: any bytes, split anywhere, arriving
// at any times. The decoder must yield only INKEY codes, and once its delay
// has passed with no more input it must hold nothing back.
//   build/tests/fuzz/key_decoder_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/backends/terminal.h"
#include "runtime/console/console.h"

namespace {

bool isKeyCode(int key) {
  const bool alt = (key >= 256 + 16 && key <= 256 + 50) ||
                   (key >= krx::K_ALT_1 && key <= krx::K_ALT_1 + 11) ||
                   (key >= krx::K_ALT_OTHER + 0x20 && key < krx::K_ALT_OTHER + 0x7f);
  return (key >= 1 && key <= 255) || key == 271 || key == 284 || alt || key == krx::K_LBUTTONDOWN;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first byte chooses the erase character; each later chunk starts
  // with a byte that gives its length and the pause before it.
  krx::KeyDecoder decoder({{"\x1bK", krx::K_END}, {"\x1b[[H", krx::K_HOME}},
                          (data[0] & 1) != 0 ? 0x08 : 0x7f);
  double now = 0;
  std::size_t i = 1;
  while (i < size) {
    const std::uint8_t control = data[i++];
    const std::size_t length = std::min<std::size_t>(control & 0x0F, size - i);
    now += (control >> 4) * 0.004;  // up to 60 ms between chunks
    decoder.feed(std::string_view(reinterpret_cast<const char*>(data + i), length), now);
    i += length;
    while (const int key = decoder.next(now)) {
      if (!isKeyCode(key)) std::abort();
    }
  }
  now += 1;
  while (const int key = decoder.next(now)) {
    if (!isKeyCode(key)) std::abort();
  }
  if (decoder.deadline() >= 0) std::abort();  // something stuck
  return 0;
}
