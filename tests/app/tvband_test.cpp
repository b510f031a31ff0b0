// The band the timers give rows 21 to 24 for a TV: drawn at the sizes of
// 160x50 and 240x75, it must read as the glyphs' pictures of the next level
// and of the time of day that row 22 shows at that moment, with the key hints
// below; smaller or narrower, it is declined and the rows show as blocks.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/gamejournal.h"
#include "app/timer.h"
#include "app/tournament.h"
#include "app/tournamenttimer.h"
#include "runtime/console.h"
#include "runtime/error.h"
#include "runtime/screen.h"
#include "support/glyph_pictures.h"
#include "support/test_runtime.h"

namespace potclock {
namespace {

// The band as a terminal of `cols` by `rows` cells for rows 21 to 24 would
// show it, in UTF-8; empty when there is none or it is declined.
std::vector<std::string> bandAt(const krx::Screen& s, int cols, int rows) {
  const krx::FineRows* fine = s.fineRows();
  if (fine == nullptr || fine->top != 21 || fine->bottom != 24) return {};
  const auto picture = fine->draw(s, cols, rows);
  if (!picture) return {};
  std::vector<std::string> out;
  for (int r = 0; r < rows; ++r) {
    std::string bytes;
    for (int c = 0; c < cols; ++c)
      bytes += static_cast<char>(picture->cells[static_cast<std::size_t>(r * cols + c)].ch);
    out.push_back(krx::cp437ShapesToUtf8(bytes));
  }
  return out;
}

// A terminal row of `width` blanks with pieces of text at their columns.
struct Piece {
  int col;
  std::string text;  // UTF-8
};
std::string line(int width, const std::vector<Piece>& pieces) {
  std::vector<std::string> cells(static_cast<std::size_t>(width), " ");
  for (const Piece& p : pieces) {
    int c = p.col;
    for (std::size_t i = 0; i < p.text.size(); ++c) {
      std::size_t n = 1;
      while (i + n < p.text.size() && (static_cast<unsigned char>(p.text[i + n]) & 0xC0) == 0x80)
        ++n;
      cells.at(static_cast<std::size_t>(c)) = p.text.substr(i, n);
      i += n;
    }
  }
  std::string out;
  for (const std::string& cell : cells) out += cell;
  return out;
}

// What a player sees in the band at 160x50 (8 rows, ends 2 columns in) or
// 240x75 (12 rows, 3 columns in, the large rows in the middle of those
// above the hints): the heading, the next level large at the left, the time
// of day large at the right, the hints along the bottom.
std::vector<std::string> expectedBand(int cols, const std::string& heading, const std::string& next,
                                      const std::string& time, const std::vector<Piece>& hints) {
  const int sx = cols / 80, rows = 4 * (cols / 80), top = cols == 160 ? 0 : 2;
  std::vector<std::string> out(static_cast<std::size_t>(rows), line(cols, {}));
  out[static_cast<std::size_t>(top)] = line(cols, {{sx, heading}});
  const auto nextRows = expected::bigRows(next, 0);
  const auto timeRows = expected::bigRows(time, 0);
  const int timeWidth = time.empty() ? 0 : static_cast<int>(expected::columns(timeRows[0]));
  for (int k = 0; k < 6; ++k) {
    std::vector<Piece> row{{sx, nextRows[static_cast<std::size_t>(k)]}};
    if (!time.empty()) row.push_back({79 * sx - timeWidth, timeRows[static_cast<std::size_t>(k)]});
    out[static_cast<std::size_t>(top + 1 + k)] = line(cols, row);
  }
  std::vector<Piece> bottom;
  for (const Piece& p : hints) bottom.push_back({p.col * sx, p.text});
  out.back() = line(cols, bottom);
  return out;
}

const std::string kHeading = "N E X T   L E V E L";
const std::string kMinutesHints =
    "Press: Alt-Enter=size, +/- to skip levels, Space to pause, Escape to quit";

struct Case {
  const char* name;
  std::function<void(TestRuntime&)> play;
  double at;  // the first wait from then on is looked at
  std::string heading;
  std::string next;
  bool timeShown;
  std::vector<Piece> hints;  // at screen columns
};

// Quits the timer with "Yes" as the last thing it does.
void quitLater(TestRuntime& t, double when) {
  t.hl.keyAt(when, 27);
  t.hl.keyAt(when + 0.5, 'y');
}

void builtIn(TestRuntime&, int level, const char* mode) {
  resetClockForTest();
  EXPECT_THROW(runTimer(level, 10, mode), krx::QuitSignal);
}

Tournament evening() {
  auto level = [](long small, long big, long ante) {
    Entry e;
    e.small = small, e.big = big, e.ante = ante, e.length = 1;
    return e;
  };
  Entry pause;
  pause.isBreak = true, pause.length = 1;
  return {"", false, {level(50, 100, 0), level(100, 200, 25), pause, level(200, 400, 0)}};
}

void structure(TestRuntime&) {
  GameJournal none;
  EXPECT_THROW(runTournament(evening(), none), krx::QuitSignal);
}

TEST(TvBand, ReadsAsTheNextLevelAndTheTimeOfDayOfRow22) {
  const std::vector<Case> cases = {
      {"counting down",
       [](TestRuntime& t) {
         quitLater(t, 300.5);
         builtIn(t, 1, "M");
       },
       2.5,
       kHeading,
       "2 / 4",
       true,
       {{1, kMinutesHints}}},
      {"paused: the hint to resume at its place, in the time of day going on",
       [](TestRuntime& t) {
         t.hl.keyAt(10.5, ' ');
         t.hl.keyAt(200.5, 'x');
         quitLater(t, 300.5);
         builtIn(t, 1, "M");
       },
       100.5,
       kHeading,
       "2 / 4",
       true,
       {{1, "Press: Alt-Enter=size, +/- to skip levels,"}, {56, "Press any key to resume"}}},
      {"the quit question open: no time, as on row 22",
       [](TestRuntime& t) {
         t.hl.keyAt(10.5, 27);
         t.hl.keyAt(100.5, krx::K_ENTER);  // "No"
         quitLater(t, 300.5);
         builtIn(t, 1, "M");
       },
       10.5,
       kHeading,
       "2 / 4",
       false,
       {{1, kMinutesHints}}},
      {"counting hands",
       [](TestRuntime& t) {
         quitLater(t, 300.5);
         builtIn(t, 22, "H");
       },
       2.5,
       kHeading,
       "7000/14000",
       true,
       {{59, "Press Escape to quit"}}},
      {"a level before one with an ante",
       [](TestRuntime& t) {
         quitLater(t, 300.5);
         structure(t);
       },
       2.5,
       kHeading + "   Ante: 25",
       "100/200",
       true,
       {{1, kMinutesHints}}},
      {"a level before a break",
       [](TestRuntime& t) {
         quitLater(t, 300.5);
         structure(t);
       },
       62.5,
       kHeading + "   break of 1 minute",
       "BREAK",
       true,
       {{1, kMinutesHints}}},
      {"the last level",
       [](TestRuntime& t) {
         quitLater(t, 300.5);
         structure(t);
       },
       182.5,
       kHeading,
       "-----",
       true,
       {{1, kMinutesHints}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestRuntime t;
    krx::SETCOLOR(kSetupColors);
    krx::SCROLL();
    bool looked = false;
    t.hl.onWait = [&](krx::HeadlessBackend& hl, const krx::Screen& s) {
      if (looked || hl.now() < c.at) return;
      looked = true;
      const std::string time = c.timeShown ? s.rowBytes(22).substr(71, 8) : "";
      ASSERT_EQ(time.find_first_not_of("0123456789:"), std::string::npos);
      for (int cols : {160, 240}) {
        EXPECT_EQ(bandAt(s, cols, cols / 20), expectedBand(cols, c.heading, c.next, time, c.hints))
            << cols << " columns";
      }
      // Blocks a single row high, or too narrow for both: declined.
      EXPECT_TRUE(bandAt(s, 160, 4).empty());
      EXPECT_TRUE(bandAt(s, 80, 12).empty() || !c.timeShown);
    };
    c.play(t);
    EXPECT_TRUE(looked);
  }
}

TEST(TvBand, GoesWithTheTimer) {
  TestRuntime t;
  krx::SETCOLOR(kSetupColors);
  krx::SCROLL();
  bool seen = false;
  t.hl.onWait = [&](krx::HeadlessBackend&, const krx::Screen& s) {
    seen = seen || !bandAt(s, 160, 8).empty();
  };
  resetClockForTest();
  runTimer(63, 1, "M");
  EXPECT_TRUE(seen);
  // The rows stay as the last level left them, but they are no band now.
  EXPECT_EQ(t.rt.screen.fineRows(), nullptr);
}

}  // namespace
}  // namespace potclock
