#include "forms/scoreboard.h"

#include "runtime/console/console.h"
#include "runtime/console/settings.h"
#include "runtime/lang/error.h"
#include "runtime/lang/nationmsg.h"
#include "runtime/lang/strings.h"

namespace potclock {

using krx::arg;
using krx::Item;

namespace {

bool scoreboardOn() {
  return krx::SET(krx::SET_SCOREBOARD).logOr(false);
}

void showMessage(const Item& message) {
  scoreboardBlock()->eval({krx::ROW(), krx::COL(), message});
}

// Shows `message`, waits for a key that nobody else gets, and blanks it again.
void showUntilKey(const std::string& message) {
  showMessage(message);
  krx::INKEY(0);
  showMessage(krx::SPACE(static_cast<int>(message.size())));
}

}  // namespace

krx::BlockRef scoreboardBlock() {
  return krx::makeBlock(
      "{|nRow, nCol, xMsg| SetPos(0, 50), "
      "DispOut(IIf(ValType(xMsg) == \"N\", NationMsg(xMsg), xMsg)), SetPos(nRow, nCol)}",
      [](std::span<const Item> args) {
        const Item& msg = arg(args, 2);
        krx::SETPOS(kScoreboardRow, kScoreboardCol);
        krx::DISPOUT(msg.isNum() ? Item(krx::NATIONMSG(static_cast<int>(msg.num()))) : msg);
        krx::SETPOS(static_cast<int>(arg(args, 0).num()), static_cast<int>(arg(args, 1).num()));
        return Item();
      });
}

void DISPSCOREBOARD() {
  KRX_ROUTINE("DISPSCOREBOARD");
  if (!scoreboardOn()) return;
  showMessage(krx::SET(krx::SET_INSERT).logOr(false) ? 7 : 8);
}

void INVALIDDATE() {
  KRX_ROUTINE("INVALIDDATE");
  if (!scoreboardOn()) return;
  showMessage(9);
  krx::INKEY(0);
  showMessage(krx::SPACE(static_cast<int>(krx::NATIONMSG(9).size())));
}

bool RANGECHECK(krx::Get& get, const Item& low, const Item& high) {
  KRX_ROUTINE("RANGECHECK");
  if (!get.changed) return true;
  const Item value = get.varGet();
  if (!krx::less(value, low) && !krx::greater(value, high)) return true;
  if (scoreboardOn()) {
    showUntilKey(krx::NATIONMSG(10) + krx::LTRIM(krx::TRANSFORM(low, "")) + krx::NATIONMSG(11) +
                 krx::LTRIM(krx::TRANSFORM(high, "")));
  }
  return false;
}

}  // namespace potclock
