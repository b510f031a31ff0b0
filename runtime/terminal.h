// The terminal backend: the runtime on a real text terminal.
//
// Three layers, each usable on its own:
//   TermCaps      what the terminal understands, read from its terminfo entry;
//   ScreenPainter turns the 80x25 screen model into the fewest bytes that
//                 bring the terminal up to date (only changed cells, cheapest
//                 cursor moves, merged colour changes);
//   KeyDecoder    turns the bytes that keys send into INKEY codes; time is
//                 passed in, so the Escape delay is exact and testable.
// TerminalBackend ties them to the file descriptors, the terminal modes, the
// signals and the sound.
//
// The terminal library (ncurses) supplies the terminfo database and the
// expansion of its strings; its own screen updating and key reading are not
// used. Writing the bytes ourselves keeps the output independent of the
// locale (the block characters always go out as UTF-8, also with LANG unset),
// lets one colour change carry foreground and background together, and keeps
// every write in one flush per wait. Reading keys ourselves keeps all waiting
// on our own clock: the library's key time-out follows the wall clock.
//
// Lifetime. TerminalBackend::create() checks that there is a terminal and
// enters its modes; the destructor undoes every one of them. The crash
// signals (SIGSEGV, SIGBUS, SIGFPE, SIGABRT, SIGILL, SIGQUIT) restore the
// terminal with async-signal-safe calls and are then raised again under the
// previous disposition, so that a crash is still reported as one.
//
// SIGINT, SIGTERM and SIGHUP only record themselves. The next wait (readKey)
// throws QuitSignal, so that the start routine unwinds the normal way:
//
//     int status = 0;
//     {
//       krx::Runtime rt(std::move(backend));
//       krx::RuntimeScope scope(rt);
//       try { ...MAIN()... } catch (const krx::QuitSignal&) {}
//       ...exit procedures (each guarded: a wait there throws QuitSignal
//          again while a terminating signal is pending)...
//       status = krx::ERRORLEVEL();
//     }  // the backend's destructor has restored the terminal here
//     krx::TerminalBackend::reraisePendingSignal();  // dies by the signal
//     return status;
//
// A second terminating signal before the program has ended forces the end:
// the terminal is restored from the handler and the signal is raised again.
//
// Ctrl-Z suspends with the terminal restored; on resume the modes are entered
// again and the whole screen is drawn afresh. A window resize centres the
// screen, or shows a notice while the window is smaller than 80x25.
//
// Keys. A lone Escape counts as the Escape key 20 ms after it arrived when
// nothing follows. Backspace is the terminal's erase character; the other of
// ^H and DEL is Ctrl-Backspace. Ctrl-C and Ctrl-Z keep their terminal
// meanings (end, suspend), so they never arrive as codes 3 and 26; PgDn and
// Ctrl-Left still do. Typed characters outside ASCII arrive as their code
// page byte, and are dropped when the code page has none.
//
// Standard error, while the screen is up and standard error is the terminal,
// goes to a memory file and is written out after the terminal is restored
// (also after a crash), so that messages neither garble the screen nor get
// lost behind the alternate screen.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/backend.h"
#include "runtime/screen.h"
#include "runtime/sound.h"

namespace krx {

// INKEY code of a left mouse button press (while SETMOUSE is on); where it
// fell is the backend's lastKeyEvent().
constexpr int K_LBUTTONDOWN = 1002;

// --- Capabilities -------------------------------------------------------------

struct TermCaps {
  // Strings as terminfo gives them (parameterised ones unexpanded); empty
  // when the terminal lacks the capability.
  std::string cup, cuf, cuf1, cub, cub1, cud, cud1, cuu, cuu1, vpa, hpa, cr;
  std::string el, clear, sgr0, setaf, setab, bold, civis, cnorm;
  std::string smcup, rmcup, smkx, rmkx, bel;
  int colors = 0;
  int lines = 0, cols = 0;  // the size the entry gives, when the terminal does not say
  bool bce = false;         // erasing fills with the current background
  bool am = false;          // writing the last column wraps
  bool xenl = false;        // ...but only at the next character
  bool mouse = false;       // xterm mouse reports (SGR encoding)
  // Key sequences (ESC-led) and their INKEY codes.
  std::vector<std::pair<std::string, int>> keys;

  // The terminfo entry of terminal type `term`, or nullopt when there is
  // none. `fd` is the terminal, for its size (-1: none).
  static std::optional<TermCaps> load(const std::string& term, int fd = -1);
  // Expands a parameterised string.
  static std::string param(const std::string& cap, int a);
  static std::string param(const std::string& cap, int a, int b);
};

// --- Painting -------------------------------------------------------------------

class ScreenPainter {
 public:
  explicit ScreenPainter(TermCaps caps);

  // The terminal's size; the next paint draws everything.
  void resize(int rows, int cols);
  // The terminal's contents are unknown (after a resume): draw everything.
  void invalidate();
  // Bytes that bring the terminal up to date with `screen`; empty when it
  // already is.
  std::string paint(const Screen& screen);

  // False while the terminal is smaller than the screen (a notice shows).
  bool fits() const { return fits_; }
  // Terminal cell of screen cell (0, 0).
  int top() const { return top_; }
  int left() const { return left_; }

 private:
  struct Pen {
    bool known = false;
    Attr attr = 0;
  };
  std::string penChange(Attr want, bool blank, Pen& pen) const;
  bool sameLook(const Cell& a, const Cell& b) const;
  std::string rewrite(const Screen& screen, int row, int fromCol, int toCol, Pen& pen) const;
  void moveTo(std::string& out, const Screen& screen, int row, int col);
  void putCell(std::string& out, int row, int col, const Cell& cell);
  void clearAll(std::string& out);
  void drawNotice(std::string& out);
  void cursorTo(std::string& out, const Screen& screen);

  TermCaps caps_;
  std::array<std::string, 256> glyphs_;  // UTF-8 shape of each byte
  bool mergeSgr_ = false;                // colour changes can share one CSI ... m
  std::array<std::string, 16> fgPart_, bgPart_;
  int rows_ = 25, cols_ = 80;
  int top_ = 0, left_ = 0;
  bool fits_ = true;
  bool cleared_ = false;  // the terminal has been cleared since the last resize
  std::array<Cell, Screen::kRows * Screen::kCols> front_{};
  std::array<bool, Screen::kRows * Screen::kCols> known_{};
  // The terminal cursor, in terminal cells, when known.
  bool cursorKnown_ = false;
  int curRow_ = 0, curCol_ = 0;
  int cursorShown_ = -1;  // -1 unknown, 0 hidden, 1 shown
  Pen pen_;
  std::uint64_t paintedVersion_ = 0;
  std::array<int, 3> paintedCursor_{-1, -1, -1};
};

// --- Keys -----------------------------------------------------------------------

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
  // Forgets the keys decoded but not yet taken; an incomplete sequence stays.
  void dropReady() { ready_.clear(); }

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

// --- The backend ------------------------------------------------------------------

class TerminalBackend : public Backend {
 public:
  // The backend on standard input's terminal, with its modes entered; or,
  // when standard input is not a terminal or TERM names no known terminal,
  // nullptr after a one-line message on standard error (the caller ends
  // with exit code 1).
  static std::unique_ptr<TerminalBackend> create();
  ~TerminalBackend() override;
  TerminalBackend(const TerminalBackend&) = delete;
  TerminalBackend& operator=(const TerminalBackend&) = delete;

  double monotonic() override;
  LocalTime localTime() override;
  void present(const Screen& screen) override;
  int readKey(const Screen& screen, double deadline) override;
  void tone(double hz, double seconds) override;
  void bell() override;
  void setMouse(bool on) override;
  void discardTypeahead() override;
  KeyEvent lastKeyEvent(int inkey) override;

  // Bytes written to the terminal so far.
  std::uint64_t bytesWritten() const { return bytesWritten_; }

  // Puts the terminal back as it was found, using only async-signal-safe
  // calls; does nothing when no backend has the terminal. For crash paths.
  static void restoreFromSignal() noexcept;
  // SIGINT, SIGTERM or SIGHUP when one has asked the program to end (a
  // terminal that went away counts as SIGHUP); 0 otherwise.
  static int pendingSignal() noexcept;
  // After the backend is destroyed: ends the process by the pending signal
  // under its default action, so the parent sees the conventional status.
  // Returns when none is pending.
  static void reraisePendingSignal() noexcept;

 private:
  TerminalBackend(int inFd, int outFd, TermCaps caps);
  void enterModes();
  void leaveModes();
  void serviceSignals();
  void suspend();
  void updateSize();
  int nextKey();
  void waitForInput(int timeoutMs);
  void writeOut(std::string_view bytes);
  std::string leaveString() const;

  int inFd_;
  int outFd_;
  bool ownsOutFd_ = false;
  TermCaps caps_;
  ScreenPainter painter_;
  KeyDecoder decoder_;
  TonePlayer sound_;
  bool modesEntered_ = false;
  bool mouse_ = false;
  std::string pendingOut_;  // mode changes that go out with the next flush
  const Screen* lastScreen_ = nullptr;
  std::pair<int, int> click_{-1, -1};
  int zeroReads_ = 0;
  std::uint64_t bytesWritten_ = 0;
};

}  // namespace krx
