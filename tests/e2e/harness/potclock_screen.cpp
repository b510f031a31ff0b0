#include "harness/potclock_screen.h"

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "runtime/console/screen.h"
#include "support/countdown_text.h"
#include "support/glyph_pictures.h"

namespace e2e {

std::string cells(const VtermPty& term, int row, int col, int count) {
  return term.cellsText(row, col, count);
}

std::string screenRow(const VtermPty& term, int row, Origin at) {
  return cells(term, at.top + row, at.left, krx::Screen::kCols);
}

std::string fieldText(const VtermPty& term, int row, int col, int width, Origin at) {
  const std::string text = cells(term, at.top + row, at.left + col, width);
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void settle(VtermPty& term) {
  term.settle(kWait);
}

::testing::AssertionResult shows(VtermPty& term, std::string_view text, double timeout) {
  if (term.waitForText(text, timeout)) {
    settle(term);
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no \"" << text << "\" on the screen:\n"
                                       << term.screenText();
}

bool showsBig(const VtermPty& term, int top, const std::array<std::string, 6>& rows, Origin at) {
  for (int r = 0; r < 6; ++r) {
    if (screenRow(term, top + r, at) != rows[static_cast<std::size_t>(r)]) return false;
  }
  return true;
}

::testing::AssertionResult waitBig(VtermPty& term, int top, std::string_view phrase, double timeout,
                                   Origin at) {
  const auto want = expected::bigRows(phrase);
  if (term.waitUntil([&] { return showsBig(term, top, want, at); }, timeout)) {
    settle(term);
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "rows " << top << "-" << top + 5 << " do not read \"" << phrase << "\":\n"
         << term.screenText();
}

bool showsTimeOfDay(const VtermPty& term, Origin at) {
  static const std::regex kTime("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
  return std::regex_match(cells(term, at.top + 22, at.left + 71, 8), kTime);
}

void keyInHandWait(VtermPty& term, std::string_view key, Origin at) {
  const std::string shownBefore = cells(term, at.top + 22, at.left + 71, 8);
  ASSERT_TRUE(term.waitUntil(
      [&] {
        return showsTimeOfDay(term, at) && cells(term, at.top + 22, at.left + 71, 8) != shownBefore;
      },
      kWait))
      << term.screenText();
  term.sendKeys(key);
}

void answerManual(VtermPty& term, const std::string& level, const std::string& perLevel, char mode,
                  Origin at) {
  ASSERT_TRUE(shows(term, "Select: C(omputed or m(anual (c/m): "));
  term.sendKeys("m");
  ASSERT_TRUE(shows(term, "Enter starting level: "));
  term.sendKeys(level);
  ASSERT_TRUE(term.waitUntil([&] { return fieldText(term, 4, 33, 3, at) == level; }, kWait))
      << term.screenText();
  term.sendKeys("\r");
  term.sendKeys(perLevel);
  ASSERT_TRUE(term.waitUntil([&] { return fieldText(term, 6, 33, 3, at) == perLevel; }, kWait))
      << term.screenText();
  term.sendKeys("\r");
  term.sendKeys(std::string(1, mode));
}

void quitWithYes(VtermPty& term, Origin at) {
  keyInHandWait(term, "\x1b", at);
  ASSERT_TRUE(shows(term, "Quit PotClock?"));
  term.sendKeys("y");
  const int status = term.waitExit(kWait);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << term.screenText();
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(term.restored()) << "alt " << term.altScreen() << " cursor " << term.cursorVisible()
                               << " pen " << term.penIsDefault() << "; sent:" << term.leftUndone();
}

CountdownReader::CountdownReader(int low, int high) : low_(low) {
  for (int s = low; s <= high; ++s) texts_.push_back(expected::bigRows(expected::countdownText(s)));
}

std::optional<int> CountdownReader::read(const VtermPty& term, int fromRow) const {
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    bool same = true;
    for (int r = fromRow; r < 21 && same; ++r)
      same = screenRow(term, r) == texts_[i][static_cast<std::size_t>(r - 15)];
    if (same) return low_ + static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<int> CountdownReader::waitChange(VtermPty& term, std::optional<int> from,
                                               double timeout) const {
  std::optional<int> now;
  term.waitUntil(
      [&] {
        now = read(term);
        return now.has_value() && now != from;
      },
      timeout);
  return now != from ? now : std::nullopt;
}

std::optional<CountdownReader::Change> CountdownReader::timedChange(VtermPty& term,
                                                                    double timeout) const {
  const std::optional<int> from = read(term);
  Change change;
  std::optional<int> now;
  const bool changed = term.waitUntil(
      [&] {
        const double lookedAt = wallNow();
        now = read(term);
        if (now.has_value() && now != from) {
          change.value = *now;
          change.seenAt = lookedAt;
          return true;
        }
        change.notBefore = lookedAt;
        return false;
      },
      timeout);
  if (!changed) return std::nullopt;
  return change;
}

bool haveSoundDevice() {
  return std::filesystem::exists("/dev/snd");
}

double wallNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace e2e
