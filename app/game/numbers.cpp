#include "app/game/numbers.h"

#include "app/game/command.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <numeric>

#include "app/game/structure.h"

namespace potclock {

namespace {

// The pool shared when the file gives no table: about one entry in ten is
// paid, and first place takes most where few are paid. Shares in hundredths
// of a percent, each row adding up to 100 %.
struct DefaultTable {
  int upToEntries;
  std::vector<int> shares;
};
const std::array<DefaultTable, 9>& defaultTables() {
  static const std::array<DefaultTable, 9> tables{{
      {5, {10000}},
      {10, {6500, 3500}},
      {20, {5000, 3000, 2000}},
      {30, {4500, 2700, 1700, 1100}},
      {40, {4000, 2500, 1600, 1100, 800}},
      {60, {3800, 2400, 1500, 1000, 700, 600}},
      {80, {3600, 2200, 1400, 1000, 700, 600, 500}},
      {100, {3300, 2000, 1300, 900, 700, 600, 500, 400, 300}},
      {kMaxCount, {3000, 2000, 1200, 900, 700, 600, 500, 400, 400, 300}},
  }};
  return tables;
}

const std::vector<int>& defaultShares(int entries) {
  for (const DefaultTable& t : defaultTables())
    if (entries <= t.upToEntries) return t.shares;
  return defaultTables().back().shares;
}

// The levels that have started by entry `index`: a break counts with the
// level before it.
int levelsReached(const Structure& t, int index) {
  int levels = 0;
  for (int i = 0; i <= index && i < static_cast<int>(t.entries.size()); ++i)
    levels += t.entries[static_cast<std::size_t>(i)].isBreak ? 0 : 1;
  return levels;
}

std::string ordinal(std::size_t place) {
  const std::size_t tens = place % 100, units = place % 10;
  const char* suffix = "th";
  if (tens < 11 || tens > 13)
    suffix = units == 1 ? "st" : units == 2 ? "nd" : units == 3 ? "rd" : "th";
  return std::to_string(place) + suffix;
}

constexpr std::string_view kNoNumbers =
    "this game has no [tournament] table, so it keeps no numbers";

CountChange refused(std::string_view why) {
  return CountChange(std::string(why));
}

}  // namespace

Count startingCount(const NumbersRules& rules) {
  return {rules.entries, rules.entries, 0, 0};
}

bool validCount(const Count& c) {
  const auto within = [](int n) { return n >= 0 && n <= kMaxCount; };
  return within(c.entries) && within(c.players) && within(c.rebuys) && within(c.addons) &&
         c.players <= c.entries && (c.players >= 1 || c.entries == 0);
}

long chipsInPlay(const NumbersRules& rules, const Count& c) {
  return c.entries * rules.chips + c.rebuys * rules.rebuyChips + c.addons * rules.addonChips;
}

long averageStack(const NumbersRules& rules, const Count& c) {
  if (c.players <= 0) return 0;
  return (chipsInPlay(rules, c) + c.players / 2) / c.players;
}

long bigBlindAt(const Structure& t, int index) {
  const auto& e = t.entries;
  const auto at = static_cast<std::size_t>(std::max(index, 0));
  for (std::size_t i = at; i < e.size(); ++i)
    if (!e[i].isBreak) return e[i].big;
  for (std::size_t i = std::min(at, e.size()); i-- > 0;)
    if (!e[i].isBreak) return e[i].big;
  return 0;
}

long averageBigBlinds(const Structure& t, int index, const Count& c) {
  const long big = bigBlindAt(t, index);
  if (!t.numbers || c.players <= 0 || big <= 0) return 0;
  const long per = big * c.players;
  return (chipsInPlay(*t.numbers, c) + per / 2) / per;
}

long prizePool(const NumbersRules& rules, const Count& c) {
  const long paidIn =
      c.entries * rules.buyIn + c.rebuys * rules.rebuyPrice + c.addons * rules.addonPrice;
  return std::max(rules.guarantee, paidIn);
}

std::vector<int> payoutShares(const NumbersRules& rules, int entries) {
  std::vector<int> shares = rules.payouts.empty() ? defaultShares(entries) : rules.payouts;
  shares.resize(std::min(shares.size(), static_cast<std::size_t>(std::max(entries, 0))));
  return shares;
}

std::vector<long> payouts(const NumbersRules& rules, const Count& c) {
  const std::vector<int> shares = payoutShares(rules, c.entries);
  const long total = std::accumulate(shares.begin(), shares.end(), 0L);
  if (total == 0) return {};
  const long pool = prizePool(rules, c);
  std::vector<long> prizes;
  long given = 0;
  for (const int share : shares) {
    prizes.push_back(pool / total * share + pool % total * share / total);
    given += prizes.back();
  }
  prizes.front() += pool - given;
  return prizes;
}

bool registrationOpen(const Structure& t, int index) {
  if (!t.numbers || t.numbers->lateRegistration == 0) return true;
  return levelsReached(t, index) <= t.numbers->lateRegistration;
}

bool registrationEndsAt(const Structure& t, int index) {
  if (!t.numbers || t.numbers->lateRegistration == 0) return false;
  const int next = index + 1;
  return registrationOpen(t, index) &&
         (next >= static_cast<int>(t.entries.size()) || !registrationOpen(t, next));
}

CountChange bust(const NumbersRules&, Count c) {
  if (c.players == 0) return refused("no one has entered yet");
  if (c.players == 1) return refused("one player is left: the winner");
  --c.players;
  return c;
}

CountChange entry(const Structure& t, int index, Count c) {
  if (!t.numbers) return refused(kNoNumbers);
  if (!registrationOpen(t, index))
    return refused("late registration ended with level " +
                   std::to_string(t.numbers->lateRegistration));
  if (c.entries >= kMaxCount) return refused("there are " + chipsText(kMaxCount) + " entries");
  ++c.entries;
  ++c.players;
  return c;
}

CountChange rebuy(const Structure& t, int index, Count c) {
  if (!t.numbers) return refused(kNoNumbers);
  if (t.numbers->rebuyChips == 0) return refused("this tournament has no rebuys");
  if (!registrationOpen(t, index))
    return refused("rebuys ended with level " + std::to_string(t.numbers->lateRegistration));
  if (c.players == 0) return refused("no one has entered yet");
  if (c.rebuys >= kMaxCount) return refused("there are " + chipsText(kMaxCount) + " rebuys");
  ++c.rebuys;
  return c;
}

CountChange addon(const NumbersRules& rules, Count c) {
  if (rules.addonChips == 0) return refused("this tournament has no add-on");
  if (c.addons >= c.entries) return refused("each entry has had its add-on");
  ++c.addons;
  return c;
}

CountChange setPlayers(const NumbersRules&, Count c, long players) {
  if (c.entries == 0) return refused("no one has entered yet");
  if (players < 1 || players > c.entries)
    return refused("players must be 1 to " + chipsText(c.entries) + ", the entries");
  c.players = static_cast<int>(players);
  return c;
}

CountChange setEntries(const NumbersRules&, Count c, long entries) {
  if (entries < c.players || entries > kMaxCount)
    return refused("entries must be " + chipsText(c.players) + " (the players still in) to " +
                   chipsText(kMaxCount));
  c.entries = static_cast<int>(entries);
  return c;
}

CountChange recount(const Structure& t, int index, Count c, const Command& command) {
  if (!t.numbers) return refused(kNoNumbers);
  const NumbersRules& rules = *t.numbers;
  switch (command.kind) {
    case Command::Kind::bust:
      return bust(rules, c);
    case Command::Kind::entry:
      return entry(t, index, c);
    case Command::Kind::rebuy:
      return rebuy(t, index, c);
    case Command::Kind::addon:
      return addon(rules, c);
    case Command::Kind::players:
      return setPlayers(rules, c, command.value);
    case Command::Kind::entries:
      return setEntries(rules, c, command.value);
    default:
      return refused("not a change of the count");
  }
}

std::string countAnswer(const Structure& t, int index, const Count& c) {
  std::string text = "players " + chipsText(c.players) + " of " + chipsText(c.entries);
  if (!t.numbers) return text;
  if (c.players > 0) {
    text += ", average " + chipsText(averageStack(*t.numbers, c));
    if (bigBlindAt(t, index) > 0) text += " (" + chipsText(averageBigBlinds(t, index, c)) + " BB)";
  }
  return text + ", pool " + chipsText(prizePool(*t.numbers, c));
}

std::string numbersRow(const Structure& t, int index, const Count& c) {
  constexpr std::size_t kWidth = 78;
  if (!t.numbers) return {};
  const std::string gap = "   ";
  const std::string players = "Players " + chipsText(c.players) + "/" + chipsText(c.entries);
  std::string average, blinds;
  if (c.players > 0) {
    average = gap + "Avg " + chipsText(averageStack(*t.numbers, c));
    if (bigBlindAt(t, index) > 0) blinds = " (" + chipsText(averageBigBlinds(t, index, c)) + " BB)";
  }
  const std::string rest = gap + "Pool " + chipsText(prizePool(*t.numbers, c)) + gap + "Paid " +
                           std::to_string(payoutShares(*t.numbers, c.entries).size());
  std::string row = players + average + blinds + rest;
  // The stack in big blinds is the first to go: the rest are money.
  if (row.size() > kWidth) row = players + average + rest;
  return row.substr(0, kWidth);
}

std::vector<std::string> payoutTexts(const NumbersRules& rules, const Count& c) {
  std::vector<std::string> texts;
  for (const long prize : payouts(rules, c))
    texts.push_back(ordinal(texts.size() + 1) + " " + chipsText(prize));
  return texts;
}

std::string shareText(int hundredths) {
  std::string text = std::to_string(hundredths / 100);
  if (const int rest = hundredths % 100; rest != 0)
    text += rest % 10 == 0 ? "." + std::to_string(rest / 10)
                           : (rest < 10 ? ".0" : ".") + std::to_string(rest);
  return text;
}

}  // namespace potclock
