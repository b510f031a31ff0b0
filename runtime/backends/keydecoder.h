// Turns the bytes that keys send into INKEY codes. Time is passed in, so
// that the Escape delay is exact and testable.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace krx {

class KeyDecoder {
 public:
  // A lone Escape is taken as the Escape key once this much time has passed
  // without the rest of a sequence.
  static constexpr double kEscapeDelay = 0.020;

  // `eraseByte` is what the Backspace key sends (the terminal's erase
  // character); the other of 8 and 127 is Ctrl-Backspace.
  explicit KeyDecoder(std::vector<std::pair<std::string, int>> sequences = {},
                      unsigned char eraseByte = 0x7f);

  // Bytes read at time `now` (seconds on any steady clock).
  void feed(std::string_view bytes, double now);
  // The next key, or 0 when none is complete yet at `now`.
  int next(double now);
  // When an incomplete sequence resolves without more input; negative when
  // nothing waits.
  double deadline() const;
  // Terminal cell (from 0) of the last K_LBUTTONDOWN.
  std::pair<int, int> lastClick() const { return click_; }
  // Whether the key next() returned last came as an escape sequence (a
  // special key) rather than as a byte (a character or control code).
  bool lastWasSequence() const { return lastWasSequence_; }

 private:
  void decode(bool expired);
  // Length of a complete ESC-led sequence at the front and its code (0 to
  // drop it); 0 length when more bytes are needed.
  std::pair<std::size_t, int> escape(bool expired);
  int csiKey(std::string_view params, char final);
  int ss3Key(char final) const;
  int plainKey(unsigned char byte) const;

  std::vector<std::pair<std::string, int>> sequences_;
  unsigned char eraseByte_;
  std::string pending_;
  double pendingSince_ = 0;
  std::deque<std::pair<int, bool>> ready_;  // code, came as a sequence
  std::pair<int, int> click_{-1, -1};
  bool lastWasSequence_ = false;
};

// Maps a Unicode character typed at the keyboard to its code page 437 byte,
// or 0 when the code page has none.
int unicodeKey(char32_t cp);

}  // namespace krx
