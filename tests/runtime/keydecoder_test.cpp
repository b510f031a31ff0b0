// The key decoder, with time passed in: the bytes of each key as terminals
// send them, and the Escape key told from the start of a sequence.
#include "runtime/backends/keydecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/console/console.h"

namespace {

using krx::KeyDecoder;

std::vector<int> decodeAll(KeyDecoder& decoder, std::string_view bytes, double at = 0) {
  decoder.feed(bytes, at);
  std::vector<int> keys;
  // Well past any delay: everything pending resolves.
  while (const int key = decoder.next(at + 1)) keys.push_back(key);
  return keys;
}

std::vector<int> decodeAll(std::string_view bytes) {
  KeyDecoder decoder;
  return decodeAll(decoder, bytes);
}

TEST(KeyDecoder, LoneEscapeResolvesAfterItsDelayOnly) {
  KeyDecoder decoder;
  decoder.feed("\x1b", 10.0);
  EXPECT_EQ(decoder.next(10.0), 0);
  EXPECT_DOUBLE_EQ(decoder.deadline(), 10.0 + KeyDecoder::kEscapeDelay);
  EXPECT_EQ(decoder.next(10.0 + KeyDecoder::kEscapeDelay - 0.001), 0);
  EXPECT_EQ(decoder.next(10.0 + KeyDecoder::kEscapeDelay + 0.001), krx::K_ESC);
  EXPECT_LT(decoder.deadline(), 0);

  // The rest of a sequence that comes within the delay makes it one key.
  decoder.feed("\x1b", 20.0);
  decoder.feed("[", 20.005);
  decoder.feed("A", 20.01);
  EXPECT_EQ(decoder.next(20.01), krx::K_UP);
  EXPECT_EQ(decoder.next(30.0), 0);

  // Two Escapes: the first is a key at once, the second waits its turn.
  decoder.feed("\x1b\x1b", 40.0);
  EXPECT_EQ(decoder.next(40.0), krx::K_ESC);
  EXPECT_EQ(decoder.next(40.0), 0);
  EXPECT_EQ(decoder.next(40.03), krx::K_ESC);

  // A character split between reads.
  decoder.feed("\xc3", 50.0);
  EXPECT_EQ(decoder.next(50.0), 0);
  decoder.feed("\xa9", 50.001);
  EXPECT_EQ(decoder.next(50.001), 130);  // é
  // One that never completes is dropped, not taken for something else.
  decoder.feed("\xe2\x96", 60.0);
  EXPECT_EQ(decoder.next(61.0), 0);
  EXPECT_LT(decoder.deadline(), 0);
}

TEST(KeyDecoder, TerminalSequencesBecomeKeyCodes) {
  using V = std::vector<int>;
  const std::pair<const char*, V> cases[] = {
      {"\x1b[A", V{5}},
      {"\x1bOA", V{5}},
      {"\x1b[B", V{24}},
      {"\x1b[D", V{19}},
      {"\x1b[C", V{4}},
      {"\x1b[H", V{1}},
      {"\x1b[F", V{6}},
      {"\x1b[1~", V{1}},
      {"\x1b[4~", V{6}},
      {"\x1b[7~", V{1}},
      {"\x1b[5~", V{18}},
      {"\x1b[6~", V{3}},
      {"\x1b[2~", V{22}},
      {"\x1b[3~", V{7}},
      {"\x1b[Z", V{271}},
      {"\x1b[1;5H", V{29}},
      {"\x1b[7^", V{29}},
      {"\x1b[1;5D", V{26}},
      {"\x1b[1;5C", V{2}},
      {"\x1bOd", V{26}},
      {"\x1b\r", V{284}},
      {"\x1b[13;3u", V{284}},
      {"\x1b[27;5;127~", V{127}},
      {"\x1bOM", V{13}},
      {"\x1bOk", V{'+'}},
      {"\x1bOp", V{'0'}},
      {"\r", V{13}},
      {"\t", V{9}},
      {"\x7f", V{8}},
      {"\x08", V{127}},
      {"\x01\x1a", V{1, 26}},
      {"ab", V{'a', 'b'}},
      {"\xc3\xa9", V{130}},
      {"\xe2\x96\x92", V{177}},
      {"\x1b[A\x1b[B", V{5, 24}},
      // Alt with a printable character is one key, never Escape.
      {"\x1bx", V{krx::K_ALT_X}},
      {"\x1b"
       "a\x1b"
       "A",
       V{krx::K_ALT_A, krx::K_ALT_A}},
      {"\x1b"
       "1\x1b"
       "0",
       V{krx::K_ALT_1, krx::K_ALT_1 + 9}},
      {"\x1b!", V{krx::K_ALT_OTHER + '!'}},
      {"\x1b\x1b[A", V{27, 5}},
      // Keys without a code are dropped whole, not spelled out as text.
      {"\x1b[15~", V{}},
      {"\x1b[[A", V{}},
      {"\x1bOP", V{}},
      {"\xe2\x82\xac", V{}},
      {"\xe2\x98\xba", V{}},
      {"\x1b[I", V{}},
  };
  for (const auto& [bytes, want] : cases) {
    EXPECT_EQ(decodeAll(bytes), want) << ::testing::PrintToString(std::string(bytes));
  }

  // A terminal whose Backspace sends ^H: then DEL is the other one.
  KeyDecoder controlH({}, 0x08);
  EXPECT_EQ(decodeAll(controlH, "\x08\x7f"), (V{8, 127}));

  // The terminal's own key strings take precedence over the common forms.
  KeyDecoder odd({{"\x1bK", krx::K_END}});
  EXPECT_EQ(decodeAll(odd, "\x1bK"), (V{6}));
}

TEST(KeyDecoder, LeftClicksOnly) {
  KeyDecoder decoder;
  EXPECT_EQ(decodeAll(decoder, "\x1b[<0;12;5M\x1b[<0;12;5m"), std::vector<int>{krx::K_LBUTTONDOWN});
  EXPECT_EQ(decoder.lastClick(), std::make_pair(4, 11));
  // Right button, wheel, motion: nothing.
  EXPECT_TRUE(decodeAll(decoder, "\x1b[<2;1;1M\x1b[<64;1;1M\x1b[<32;1;1M").empty());
  // The older encoding: bytes offset by 32, cells from 1.
  EXPECT_EQ(decodeAll(decoder, "\x1b[M !#"), std::vector<int>{krx::K_LBUTTONDOWN});
  EXPECT_EQ(decoder.lastClick(), std::make_pair(2, 0));
}

TEST(KeyDecoder, TellsSpecialKeysFromControlBytes) {
  // Ctrl-End and Ctrl-W share code 23, Up and Ctrl-E code 5: only how the
  // key arrived tells them apart.
  KeyDecoder decoder;
  decoder.feed("\x1b[1;5F\x17\x1b[A\x05", 1.0);
  EXPECT_EQ(decoder.next(1.0), krx::K_CTRL_END);
  EXPECT_TRUE(decoder.lastWasSequence());
  EXPECT_EQ(decoder.next(1.0), krx::K_CTRL_W);
  EXPECT_FALSE(decoder.lastWasSequence());
  EXPECT_EQ(decoder.next(1.0), krx::K_UP);
  EXPECT_TRUE(decoder.lastWasSequence());
  EXPECT_EQ(decoder.next(1.0), krx::K_CTRL_E);
  EXPECT_FALSE(decoder.lastWasSequence());
}

}  // namespace
