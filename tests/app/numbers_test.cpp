#include "app/game/numbers.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "app/game/command.h"
#include "app/game/structure.h"
#include "support/structure_entries.h"

namespace potclock {
namespace {

using entries::level;
using entries::pause;

// Levels 1 and 2, a break, levels 3 and 4, a break, level 5.
Structure evening(const NumbersRules& rules) {
  Structure t{"",
              false,
              {level(100, 200, 20), level(200, 400, 20), pause(10), level(300, 600, 20),
               level(400, 800, 20), pause(10), level(500, 1000, 20)}};
  t.numbers = rules;
  return t;
}

NumbersRules rules(long chips, long buyIn, std::vector<int> payouts = {}, long guarantee = 0) {
  return {chips, buyIn, 0, 0, 0, 0, guarantee, std::move(payouts), 0, 0};
}

// 10,000 chips for 100; rebuys of 10,000 for 100, add-ons of 15,000 for 50;
// the default payouts; entries and rebuys until level 4 ends.
NumbersRules rebuyEvening() {
  return {10000, 100, 10000, 100, 15000, 50, 0, {}, 4, 0};
}

using Prizes = std::vector<long>;

TEST(Numbers, FiguresAsTheDirectorWouldWorkThemOut) {
  const NumbersRules guaranteed = rules(20000, 50, {6000, 4000}, 1000);
  const NumbersRules guaranteedOnly = rules(10000, 0, {}, 500);
  struct Case {
    const char* why;
    NumbersRules rules;
    Count count;
    int index;  // the entry running: its big blind measures the stacks
    long chips, average, bigBlinds, pool;
    Prizes prizes;
  };
  const Case cases[] = {
      // 520,000 + 120,000 + 450,000 chips over 37 players is 29,459.46, at
      // 400 a big blind 73.6; 5,200 + 1,200 + 1,500 in the pool, shared
      // 38/24/15/10/7/6 % among six for 52 entries.
      {"rebuys and add-ons", rebuyEvening(), Count{52, 37, 12, 30}, 1, 1090000, 29459, 74, 7900,
       Prizes{3002, 1896, 1185, 790, 553, 474}},
      // 35,000 over 3 is 11,666.67, at 200 a big blind 58.3; 231 shared
      // 50/30/20 is 115.5, 69.3 and 46.2: the unit left over goes to first.
      {"rounding", rules(5000, 33, {5000, 3000, 2000}), Count{7, 3, 0, 0}, 0, 35000, 11667, 58, 231,
       Prizes{116, 69, 46}},
      // On the break after level 2 stacks are measured in level 3's 600.
      {"a guarantee above the buy-ins", guaranteed, Count{3, 2, 0, 0}, 2, 60000, 30000, 50, 1000,
       Prizes{600, 400}},
      // Two entries of a three-place table: 66 shared 50 to 30 is 41.25 and
      // 24.75, and the unit left over to first.
      {"fewer entries than places", rules(5000, 33, {5000, 3000, 2000}), Count{2, 2, 0, 0}, 0,
       10000, 5000, 25, 66, Prizes{42, 24}},
      {"no one yet", guaranteedOnly, Count{0, 0, 0, 0}, 0, 0, 0, 0, 500, Prizes{}},
      // Past the last break's level, at level 5's 1,000: 40,000 is 40 big blinds.
      {"heads-up to the winner", rules(10000, 10), Count{4, 1, 0, 0}, 6, 40000, 40000, 40, 40,
       Prizes{40}},
      // The default table pays three of 11 entries, 50/30/20 %.
      {"the default table", rules(1000, 100), Count{11, 11, 0, 0}, 0, 11000, 1000, 5, 1100,
       Prizes{550, 330, 220}},
  };
  for (const Case& c : cases) {
    const Structure t = evening(c.rules);
    EXPECT_EQ(chipsInPlay(c.rules, c.count), c.chips) << c.why;
    EXPECT_EQ(averageStack(c.rules, c.count), c.average) << c.why;
    EXPECT_EQ(averageBigBlinds(t, c.index, c.count), c.bigBlinds) << c.why;
    EXPECT_EQ(prizePool(c.rules, c.count), c.pool) << c.why;
    EXPECT_EQ(payouts(c.rules, c.count), c.prizes) << c.why;
  }
}

TEST(Numbers, TheDefaultTablePaysMoreAsMoreEnter) {
  const NumbersRules byDefault = rules(1000, 10);
  const std::pair<int, std::size_t> paid[] = {
      {0, 0},  {1, 1},  {5, 1},  {6, 2},  {10, 2}, {11, 3}, {20, 3},  {21, 4},   {30, 4},   {31, 5},
      {40, 5}, {41, 6}, {60, 6}, {61, 7}, {80, 7}, {81, 9}, {100, 9}, {101, 10}, {1000, 10}};
  for (const auto& [entries, places] : paid)
    EXPECT_EQ(payoutShares(byDefault, entries).size(), places) << entries << " entries";
  // Every row shares out the whole pool, first place the most.
  for (int entries = 1; entries <= 200; ++entries) {
    const std::vector<int> shares = payoutShares(byDefault, entries);
    EXPECT_EQ(std::accumulate(shares.begin(), shares.end(), 0), kWholePool) << entries;
    EXPECT_TRUE(std::is_sorted(shares.rbegin(), shares.rend())) << entries;
  }
}

// Each change through the words a command gives, as a director types them.
// The change a director's words make, read as the clock reads them.
CountChange told(const Structure& t, int index, Count c, const std::string& words) {
  const auto command = parseCommand(commandWords(words));
  if (!command.ok()) return command.failure();
  return recount(t, index, c, command.value());
}

TEST(Numbers, ChangesAndTheirRefusals) {
  const Structure t = evening(rebuyEvening());
  Structure noExtras = evening(rules(10000, 100));
  const Count mid{52, 37, 12, 30};
  struct Case {
    const char* command;
    int index;
    Count before;
    std::optional<Count> after;  // nothing: refused with `refusal`
    std::string refusal = {};
  };
  const Case cases[] = {
      {"bust", 1, mid, Count{52, 36, 12, 30}},
      {"bust", 1, {52, 1, 0, 0}, {}, "one player is left: the winner"},
      {"bust", 0, {0, 0, 0, 0}, {}, "no one has entered yet"},
      {"entry", 1, mid, Count{53, 38, 12, 30}},
      // Registration runs through the break after level 4, and no further.
      {"entry", 5, mid, Count{53, 38, 12, 30}},
      {"entry", 6, mid, {}, "late registration ended with level 4"},
      {"rebuy", 4, mid, Count{52, 37, 13, 30}},
      {"rebuy", 6, mid, {}, "rebuys ended with level 4"},
      {"addon", 6, mid, Count{52, 37, 12, 31}},
      {"addon", 6, {30, 20, 0, 30}, {}, "each entry has had its add-on"},
      {"players 36", 6, mid, Count{52, 36, 12, 30}},
      {"players 0", 6, mid, {}, "players must be 1 to 52, the entries"},
      {"entries 60", 6, mid, Count{60, 37, 12, 30}},
      {"entries 36", 6, mid, {}, "entries must be 37 (the players still in) to 99,999"},
  };
  for (const Case& c : cases) {
    const CountChange changed = told(t, c.index, c.before, c.command);
    if (c.after) {
      ASSERT_TRUE(changed.ok()) << c.command << ": " << changed.failure();
      EXPECT_EQ(changed.value(), *c.after) << c.command;
    } else {
      ASSERT_FALSE(changed.ok()) << c.command;
      EXPECT_EQ(changed.failure(), c.refusal) << c.command;
    }
  }
  EXPECT_EQ(told(noExtras, 0, mid, "rebuy").failure(), "this tournament has no rebuys");
  EXPECT_EQ(told(noExtras, 0, mid, "addon").failure(), "this tournament has no add-on");
  // Without late-registration, entries are taken to the end.
  EXPECT_TRUE(told(noExtras, 6, mid, "entry").ok());
  noExtras.numbers.reset();
  EXPECT_FALSE(told(noExtras, 0, mid, "bust").ok());
}

TEST(Numbers, TheTextsThePlayersAndTheDirectorRead) {
  const Structure t = evening(rebuyEvening());
  const Count mid{52, 37, 12, 30};
  EXPECT_EQ(countAnswer(t, 1, mid), "players 37 of 52, average 29,459 (74 BB), pool 7,900");
  EXPECT_EQ(numbersRow(t, 1, mid), "Players 37/52   Avg 29,459 (74 BB)   Pool 7,900   Paid 6");
  EXPECT_EQ(numbersRow(t, 0, {0, 0, 0, 0}), "Players 0/0   Pool 0   Paid 0");
  EXPECT_EQ(payoutTexts(*t.numbers, {11, 11, 0, 0}),
            (std::vector<std::string>{"1st 550", "2nd 330", "3rd 220"}));
  // The largest figures still fit the row: the big blinds go first.
  NumbersRules huge = rules(kMaxChips, kMaxChips);
  EXPECT_EQ(numbersRow(evening(huge), 0, {kMaxCount, kMaxCount, 0, 0}),
            "Players 99,999/99,999   Avg 999,999,999   Pool 99,998,999,900,001   Paid 10");
  NumbersRules many = rules(1, 1, std::vector<int>(100, 100));
  const std::vector<std::string> places = payoutTexts(many, {100, 100, 0, 0});
  EXPECT_EQ(places[10], "11th 1");
  EXPECT_EQ(places[21], "22nd 1");
  EXPECT_EQ(places[99], "100th 1");
  EXPECT_EQ(shareText(5), "0.05");
}

}  // namespace
}  // namespace potclock
