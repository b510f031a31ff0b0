// A tournament's numbers: the chips each entry, rebuy and add-on brings, the
// money each puts into the prize pool and how the pool is shared, as the
// structure file's [tournament] table gives them (the rules), and how many
// have entered, are still playing, rebought and taken the add-on (the count,
// which the director changes as the evening goes and which is kept with the
// game). Everything the screens and the answers to the director show is
// worked out here from those two, by pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/result.h"

namespace potclock {

struct Command;
struct Structure;

// The most entries, rebuys or add-ons a count holds: far beyond any room,
// and small enough that no figure made of them overflows.
inline constexpr int kMaxCount = 99'999;
// The most places a payout table pays.
inline constexpr std::size_t kMaxPlaces = 100;
// Payout shares are kept in hundredths of a percent, so that 27.5 % is
// exact and a table adds up to exactly 100 %.
inline constexpr int kWholePool = 10'000;

struct NumbersRules {
  long chips = 0;       // each entry's starting chips, 1 or more
  long buyIn = 0;       // what each entry puts into the pool (the fee stays out)
  long rebuyChips = 0;  // no rebuys when 0
  long rebuyPrice = 0;
  long addonChips = 0;  // no add-on when 0
  long addonPrice = 0;
  long guarantee = 0;  // the least the pool pays out
  // Each place's share, first place first, in hundredths of a percent;
  // empty: the default table for the number of entries (payoutShares).
  std::vector<int> payouts = {};
  // The last level at which entries and rebuys are taken (they go on
  // through the break after it); 0: until the end.
  int lateRegistration = 0;
  int entries = 0;  // entries at the start, every one of them playing

  bool operator==(const NumbersRules&) const = default;
};

// Where the tournament stands: entries bought (re-entries count again),
// players still in, rebuys and add-ons taken.
struct Count {
  int entries;
  int players;
  int rebuys;
  int addons;

  bool operator==(const Count&) const = default;
};

// The count a fresh game starts with: the rules' entries, all playing.
Count startingCount(const NumbersRules& rules);
// Whether a count could be a tournament's: players at most entries (and at
// least one once anyone has entered), nothing negative or over kMaxCount.
bool validCount(const Count& c);

// The figures the screens show.
long chipsInPlay(const NumbersRules& rules, const Count& c);
// Chips in play over players, to the nearest chip; 0 with no player.
long averageStack(const NumbersRules& rules, const Count& c);
// The big blind that stacks are measured in while entry `index` runs: the
// level's own, and on a break the next level's (the blinds the players come
// back to), or the last level's when no level follows.
long bigBlindAt(const Structure& t, int index);
// The average stack in those big blinds, to the nearest whole one.
long averageBigBlinds(const Structure& t, int index, const Count& c);
// What entries, rebuys and add-ons have paid in, or the guarantee if more.
long prizePool(const NumbersRules& rules, const Count& c);
// The shares of the paid places for `entries` entries: the rules' table, or
// the default table (README: "The tournament's numbers"). Never more places
// than entries.
std::vector<int> payoutShares(const NumbersRules& rules, int entries);
// Each paid place's prize, first place first, in whole units: each share of
// the pool rounded down, and what rounding leaves over to first place, so
// that the prizes add up to the pool exactly. Where fewer have entered than
// the table has places, the places paid share the pool in their proportions.
std::vector<long> payouts(const NumbersRules& rules, const Count& c);

// What the director changes: the new count, or one line saying why not.
using CountChange = Result<Count, std::string>;
// A player is out (one stays: the winner).
CountChange bust(const NumbersRules& rules, Count c);
// A new entry (or a re-entry) takes a seat, while entry `index` of `t`
// runs: refused once late registration has ended.
CountChange entry(const Structure& t, int index, Count c);
// A player rebuys, on the same terms as an entry.
CountChange rebuy(const Structure& t, int index, Count c);
// A player takes the add-on: one for each entry at most.
CountChange addon(const NumbersRules& rules, Count c);
// Corrections: the players still in (1 to entries), the entries (at least
// the players).
CountChange setPlayers(const NumbersRules& rules, Count c, long players);
CountChange setEntries(const NumbersRules& rules, Count c, long entries);
// One of the above as a director's command says it (bust, entry, rebuy,
// addon, players N, entries N).
CountChange recount(const Structure& t, int index, Count c, const Command& command);
// Whether entries and rebuys are still taken while entry `index` runs.
bool registrationOpen(const Structure& t, int index);
// Whether late registration ends when entry `index` does.
bool registrationEndsAt(const Structure& t, int index);

// The answer to a change: "players 36 of 52, average 30,444 (61 BB), pool
// 5,200".
std::string countAnswer(const Structure& t, int index, const Count& c);
// The screen's row of numbers: "Players 37/52   Avg 28,108 (56 BB)   Pool
// 5,200   Paid 7", shortened to fit 78 columns.
std::string numbersRow(const Structure& t, int index, const Count& c);
// The paid places as the break screen lists them: "1st 2,080", "2nd 1,300".
std::vector<std::string> payoutTexts(const NumbersRules& rules, const Count& c);

// A share as the file writes it: "50", "27.5", "12.25".
std::string shareText(int hundredths);

}  // namespace potclock
