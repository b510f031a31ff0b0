// The headless backend: the runtime without a terminal, for tests. Keys come
// from a script, time from a virtual clock that moves on by the time-out
// whenever INKEY waits with no scripted key due before it, so hours of
// timer run in milliseconds. Tones, bells and alerts are recorded; alerts
// may be answered by the script without keys.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/console/backend.h"
#include "runtime/lang/error.h"

namespace krx {

// Thrown when the program waits without limit and the script has no key left:
// a test that ends that way would otherwise hang. A script that has run out
// is a terminal that has gone away, so a program run by the start routine
// ends as on a hang-up (a quit, with its exit procedures); a test that calls
// a routine itself catches it by this name.
struct ScriptExhausted : QuitSignal, std::runtime_error {
  ScriptExhausted() : std::runtime_error("the key script ran out while waiting without limit") {}
};

class HeadlessBackend : public Backend {
 public:
  struct ToneRecord {
    double hz;
    double seconds;
    double at;  // monotonic time when it started
  };
  struct AlertRecord {
    std::string text;
    std::vector<std::string> options;
    int answer;  // kAnswerPending while an alert answered with keys is open
  };
  static constexpr int kAnswerPending = -1;

  HeadlessBackend();

  // --- Script --------------------------------------------------------------
  // Keys due at once, in order, after those already scripted.
  void keys(std::initializer_list<int> codes);
  void text(std::string_view bytes);  // one key per byte
  // Keys given by their event codes (runtime/console/eventcodes.h), due at once: each
  // arrives as its INKEY code, and the event queue sees the very key (an Up
  // is Up there, although INKEY gives 5 as for Ctrl-E).
  void keyEvents(std::initializer_list<int> events);
  // A left button click at a screen cell, due at once: INKEY K_LBUTTONDOWN.
  void click(int row, int col);
  // A key due once the virtual clock reaches `monotonicTime` (seconds since
  // the backend was made); keys stay in the order given.
  void keyAt(double monotonicTime, int code);
  // The next alerts are answered with these numbers instead of keys.
  void alertAnswers(std::initializer_list<int> answers);
  // Called each time the program is about to wait, with the screen as it
  // stands: tests take snapshots or script keys from here.
  std::function<void(HeadlessBackend&, const Screen&)> onWait;

  // --- Clocks ----------------------------------------------------------------
  double now() const { return now_; }
  void advance(double seconds) { now_ += seconds; }
  // The wall clock at monotonic 0 (default 2026-12-07 20:00:00).
  void setLocalTime(LocalTime start);
  // Steps the wall clock (daylight saving, a clock set by hand); the
  // monotonic clock does not move.
  void stepWallClock(double seconds) { wallOffset_ += seconds; }

  // --- Records -----------------------------------------------------------------
  std::vector<ToneRecord> tones;
  std::vector<AlertRecord> alerts;
  int bells = 0;
  int presents = 0;
  std::string errorText;  // what went to the standard error stream

  // What appType() answers: 3 runs the program as a windowed one.
  int applicationType = 2;

  // --- Backend -------------------------------------------------------------------
  double monotonic() override { return now_; }
  LocalTime localTime() override;
  // The local wall clock read as UTC: the script has no time zone.
  double epochSeconds() override;
  void present(const Screen& screen) override;
  int readKey(const Screen& screen, double deadline) override;
  void tone(double hz, double seconds) override;
  void bell() override { ++bells; }
  // Keys already due are type-ahead; keys due later have not been typed yet.
  void discardTypeahead() override;
  void errorOutput(std::string_view text) override { errorText += text; }
  KeyEvent lastKeyEvent(int inkey) override;
  int appType() const override { return applicationType; }

  // --- Alerts ----------------------------------------------------------------------
  // Every alert is recorded; the scripted answers come first, keys after.
  std::optional<int> answerAlert(std::string_view text,
                                 const std::vector<std::string>& options) override;
  void alertAnswered(int answer) override;

 private:
  struct Scripted {
    double due;
    int code;          // INKEY code
    KeyEvent event{};  // what it was; code 0: the INKEY code's usual meaning
  };
  std::deque<Scripted> script_;
  Scripted last_{0, 0};  // the key readKey returned last
  std::deque<int> answers_;
  double now_ = 0;
  LocalTime start_{2026, 12, 7, 20, 0, 0};
  double wallOffset_ = 0;
};

}  // namespace krx
