// The scoreboard: short status texts on the top line of the screen during a
// read (insert indicator, invalid-date and out-of-range messages). Nothing is
// written while the scoreboard setting is off.
#pragma once

#include "runtime/console/get.h"
#include "runtime/lang/item.h"
#include "runtime/lang/object.h"

namespace potclock {

constexpr int kScoreboardRow = 0;
constexpr int kScoreboardCol = 50;

// The callable every message goes through: {|nRow, nCol, xMsg| ...} writes
// xMsg (a message number is looked up in NATIONMSG) at the scoreboard and puts
// the cursor back at (nRow, nCol).
krx::BlockRef scoreboardBlock();

// Shows the insert or overwrite indicator.
void DISPSCOREBOARD();

// Shows the invalid-date message until a key is pressed (the key is consumed).
void INVALIDDATE();

// VALID routine: an edited value outside [low, high] is refused, with the
// range message shown until a key is pressed. An unedited field passes.
bool RANGECHECK(krx::Get& get, const krx::Item& low, const krx::Item& high);

}  // namespace potclock
