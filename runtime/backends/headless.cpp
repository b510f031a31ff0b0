#include "runtime/backends/headless.h"

#include <algorithm>
#include <cmath>

#include "runtime/console/console.h"
#include "runtime/console/eventcodes.h"
#include "runtime/lang/strings.h"

namespace krx {

HeadlessBackend::HeadlessBackend() = default;

// --- Script --------------------------------------------------------------------

void HeadlessBackend::keys(std::initializer_list<int> codes) {
  for (int code : codes) script_.push_back({now_, code});
}

void HeadlessBackend::text(std::string_view bytes) {
  for (char ch : bytes) script_.push_back({now_, static_cast<unsigned char>(ch)});
}

void HeadlessBackend::keyEvents(std::initializer_list<int> events) {
  for (int event : events) script_.push_back({now_, inkeyOfEvent(event), KeyEvent{event}});
}

void HeadlessBackend::click(int row, int col) {
  script_.push_back({now_, K_LBUTTONDOWN, KeyEvent{EV_LBCLICK, row, col}});
}

void HeadlessBackend::keyAt(double monotonicTime, int code) {
  script_.push_back({monotonicTime, code});
}

void HeadlessBackend::alertAnswers(std::initializer_list<int> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

// --- Clocks ------------------------------------------------------------------------

void HeadlessBackend::setLocalTime(LocalTime start) {
  start_ = start;
}

LocalTime HeadlessBackend::localTime() {
  // Calendar arithmetic of our own rather than the host's time zone, so that
  // a test reads the same wall clock on every machine.
  const double startOfDay = start_.hour * 3600.0 + start_.minute * 60.0 + start_.second;
  const double total = startOfDay + now_ + wallOffset_;
  const double dayCount = std::floor(total / 86400.0);
  double inDay = total - dayCount * 86400.0;
  if (inDay >= 86400.0) inDay = 0;  // rounding at the very end of a day

  const Date base = makeDate(start_.year, start_.month, start_.day);
  const DateParts day = splitDate(Date{base.julian + static_cast<std::int32_t>(dayCount)});
  LocalTime t;
  t.year = day.year;
  t.month = day.month;
  t.day = day.day;
  t.hour = static_cast<int>(inDay / 3600.0);
  t.minute = static_cast<int>((inDay - t.hour * 3600.0) / 60.0);
  t.second = inDay - t.hour * 3600.0 - t.minute * 60.0;
  return t;
}

double HeadlessBackend::epochSeconds() {
  constexpr std::int32_t kJulian1970 = 2440588;  // 1970-01-01
  const double days = makeDate(start_.year, start_.month, start_.day).julian - kJulian1970;
  return days * 86400.0 + start_.hour * 3600.0 + start_.minute * 60.0 + start_.second + now_ +
         wallOffset_;
}

// --- Backend -------------------------------------------------------------------------

void HeadlessBackend::present(const Screen& screen) {
  (void)screen;
  ++presents;
}

int HeadlessBackend::readKey(const Screen& screen, double deadline) {
  present(screen);
  if (onWait) onWait(*this, screen);
  const bool unlimited = deadline < 0;
  if (!script_.empty() && (unlimited || script_.front().due <= std::max(now_, deadline))) {
    const Scripted key = script_.front();
    script_.pop_front();
    now_ = std::max(now_, key.due);
    last_ = key;
    return key.code;
  }
  if (unlimited) throw ScriptExhausted();
  now_ = std::max(now_, deadline);
  return 0;
}

void HeadlessBackend::discardTypeahead() {
  while (!script_.empty() && script_.front().due <= now_) script_.pop_front();
}

Backend::KeyEvent HeadlessBackend::lastKeyEvent(int inkey) {
  if (last_.code == inkey && last_.event.code != 0) return last_.event;
  return Backend::lastKeyEvent(inkey);
}

void HeadlessBackend::tone(double hz, double seconds) {
  tones.push_back({hz, seconds, now_});
  now_ += seconds;
}

std::optional<int> HeadlessBackend::answerAlert(std::string_view text,
                                                const std::vector<std::string>& options) {
  // Every alert is recorded; one answered with keys gets its answer when it
  // closes (alertAnswered).
  alerts.push_back({std::string(text), options, kAnswerPending});
  if (answers_.empty()) return std::nullopt;
  alerts.back().answer = answers_.front();
  answers_.pop_front();
  return alerts.back().answer;
}

void HeadlessBackend::alertAnswered(int answer) {
  for (auto it = alerts.rbegin(); it != alerts.rend(); ++it) {
    if (it->answer == kAnswerPending) {
      it->answer = answer;
      return;
    }
  }
}

}  // namespace krx
