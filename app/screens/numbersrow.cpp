#include "app/screens/numbersrow.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/game/standing.h"
#include "app/screens/say.h"
#include "runtime/console/console.h"

namespace potclock {

namespace {

// The row above the caption, which no other piece of the timer's screen
// uses: the PAUSED band and the quit question stay clear of it.
constexpr int kNumbersRow = 3;
// The row between the structure's name and the numbers.
constexpr int kRegistrationRow = 2;
// The prizes stand beside the large BREAK (rows 6 to 11), which ends at
// column 50, in columns of one place a row.
constexpr int kPrizesTop = 6, kPrizesRows = 6, kPrizesLeft = 54, kPrizesRight = 79;

std::string padded(std::string text, std::size_t width, bool left = false) {
  if (text.size() < width) text.insert(left ? 0 : text.size(), width - text.size(), ' ');
  return text;
}

// "1st   2,080" in columns beside BREAK; as many places as there is room for,
// the last cell saying how many are paid in all when not all fit.
void showPrizes(const NumbersRules& rules, const Count& count) {
  // Fewer places than before leave none of the old ones behind.
  krx::SCROLL(kPrizesTop, kPrizesLeft, kPrizesTop + kPrizesRows - 1, kPrizesRight);
  const std::vector<std::string> texts = payoutTexts(rules, count);
  if (texts.empty()) return;
  std::size_t placeWidth = 0, amountWidth = 0;
  for (const std::string& t : texts) {
    const std::size_t blank = t.find(' ');
    placeWidth = std::max(placeWidth, blank);
    amountWidth = std::max(amountWidth, t.size() - blank - 1);
  }
  const std::size_t cellWidth = placeWidth + 1 + amountWidth;
  const std::size_t room = kPrizesRight - kPrizesLeft + 1;
  const std::size_t columns = std::max<std::size_t>(1, (room + 2) / (cellWidth + 2));
  const std::size_t cells = columns * kPrizesRows;
  for (std::size_t i = 0; i < std::min(cells, texts.size()); ++i) {
    const std::string& t = texts[i];
    const std::size_t blank = t.find(' ');
    std::string cell = padded(t.substr(0, blank), placeWidth) + " " +
                       padded(t.substr(blank + 1), amountWidth, true);
    if (i + 1 == cells && texts.size() > cells) cell = std::to_string(texts.size()) + " paid";
    const int row = kPrizesTop + static_cast<int>(i % kPrizesRows);
    const int col = kPrizesLeft + static_cast<int>((i / kPrizesRows) * (cellWidth + 2));
    say(row, col, cell.substr(0, kPrizesRight + 1 - static_cast<std::size_t>(col)));
  }
}

}  // namespace

void showNumbers(const Game& game, int index, const std::optional<Count>& count) {
  const Structure& t = game.structure();
  if (!t.numbers || !count) return;
  // The whole row, so that a longer row before leaves nothing behind.
  say(kNumbersRow, 1, padded(numbersRow(t, index, *count), 79));
  if (game.isBreak(index)) showPrizes(*t.numbers, *count);
}

bool registrationEnds(const Game& game, int index) {
  const Structure& t = game.structure();
  if (!game.warnings().lateRegistration || !t.numbers || t.numbers->lateRegistration == 0)
    return false;
  return registrationOpen(t, index) &&
         (index + 1 >= game.size() || !registrationOpen(t, index + 1));
}

void showRegistration(const Game& game, int index, std::optional<long> remain) {
  if (!game.warnings().lateRegistration || !game.structure().numbers) return;
  std::string text;
  if (registrationEnds(game, index)) {
    text = remain ? "Late registration ends in " + clockText(static_cast<double>(*remain))
                  : std::string("Late registration ends after this level");
  }
  say(kRegistrationRow, 1, padded(std::string(39 - text.size() / 2, ' ') + text, 79));
}

void playRegistrationEnd() {
  krx::TONE(1600, 2);
  krx::TONE(1600, 2);
}

}  // namespace potclock
