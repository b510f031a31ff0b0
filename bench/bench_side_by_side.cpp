// Whether the clock and its displays say the same thing at the same moment.
//
// A clock (`potclock --structure FILE --quiet`) in a pseudo-terminal of
// 80x25 runs three entries of a minute each: a level, a break, a level. Two
// displays follow it from the same state directory, one of 80x25 and one of
// 160x50 filled out (--fill), both started before it; the directory is new,
// as on the first game of a machine. The three screens are read every few
// milliseconds for the whole run, each through a terminal emulator, and for
// each the moment every (entry, figure) first shows is taken: the entry by
// its large label under the caption (the blinds, or BREAK), the figure by
// the large countdown. Meanwhile the clock is steered as an organiser would:
// a skip forward and one back, a pause of a few seconds, the quit question
// held open a few seconds and answered No; then the structure runs to its
// end (the last level starts again) and the clock is quit.
//
// For each display: the largest and the mean difference between the moment
// it showed a figure and the moment the clock showed the same one, and every
// figure it showed that the clock never did (not within 5 s of it: a
// figure a minute apart is another moment of the game).
//
//   bench_side_by_side POTCLOCK [--chime displays|all]
//     --chime  the displays chime, or the clock too (through the terminal's
//              bell where the machine has no sound device); else all three
//              are quiet: a chime holds the level that ran out on the
//              screen that plays it, and only there
//
// Exit status: 0 when each display showed every figure within 0.1 s of the
// clock and none that the clock did not, 1 when not, 2 when the run could
// not be made.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "harness/vterm_pty.h"
#include "support/countdown_text.h"
#include "support/filled_pictures.h"
#include "support/glyph_pictures.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e::Launch;
using e2e::VtermPty;

constexpr double kTarget = 0.1;
// Longer than any entry: a step that waits this long has gone wrong.
constexpr double kStepTimeout = 90;
// How long the pause and the quit question are held open.
constexpr double kHold = 4;
// A key goes this long after the figure it waits for, between two changes
// of the countdown: at the very moment of a change it could leave a screen
// showing the new figure for less than a look, never to be read.
constexpr double kAfterFigure = 0.25;

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The structure's entries, told apart by the large label under the caption.
struct Entry {
  const char* name;
  const char* label;
};
constexpr std::array<Entry, 3> kEntries{
    {{"level 1", "  25 / 50"}, {"break", "  BREAK"}, {"level 2", "  100/200"}}};
constexpr int kLevel1 = 0, kBreak = 1, kLevel2 = 2;
constexpr const char* kStructure =
    "minutes = 1\n\n[[level]]\nblinds = [25, 50]\n\n[[level]]\nbreak = 1\n\n"
    "[[level]]\nblinds = [100, 200]\n";

struct Reading {
  int entry = 0;
  int seconds = 0;
  bool operator==(const Reading&) const = default;
};

std::string describe(Reading r) {
  return std::string(kEntries[static_cast<std::size_t>(r.entry)].name) +
         expected::countdownText(r.seconds).substr(3);
}

struct Appearance {
  Reading reading;
  double at;  // steady clock, seconds
};

// A program in a pseudo-terminal whose 80x25 screen sits at the terminal's
// corner, one terminal cell a screen cell or, filled, `scale` by `scale`.
class Watched {
 public:
  Watched(std::string name, const Launch& launch, int scale)
      : name_(std::move(name)), term_(launch), scale_(scale) {
    for (const Entry& e : kEntries) labels_.push_back(pictures(e.label));
    for (int s = 0; s <= 60; ++s) figures_.push_back(pictures(expected::countdownText(s)));
  }

  const std::string& name() const { return name_; }
  VtermPty& term() { return term_; }
  const VtermPty& term() const { return term_; }
  // What the screen last showed steadily, and every change to it.
  std::optional<Reading> shown() const { return last_; }
  const std::vector<Appearance>& seen() const { return seen_; }

  // Takes what the program has written. A reading counts once a look finds
  // no more output after it, so that a screen caught halfway through a
  // redraw is not taken for what it shows; it counts from the moment the
  // output that made it arrived.
  void poll() {
    bool fresh = false;
    while (term_.readOnce(0)) fresh = true;
    if (fresh) {
      const std::optional<Reading> reading = read();
      if (reading != pending_) {
        pending_ = reading;
        pendingAt_ = term_.lastOutputAt();
      }
      return;
    }
    if (pending_ && pending_ != last_) {
      seen_.push_back({*pending_, pendingAt_});
      last_ = pending_;
    }
  }

 private:
  using Picture = std::vector<std::string>;  // terminal rows

  Picture pictures(const std::string& phrase) const {
    const auto rows = expected::bigRows(phrase);
    if (scale_ == 1) return {rows.begin(), rows.end()};
    return expected::filledRows(rows, scale_, scale_);
  }

  // Which of `candidates` the six screen rows from `top` show.
  std::optional<int> match(const std::vector<Picture>& candidates, int top) const {
    Picture shown;
    for (int r = 0; r < 6 * scale_; ++r)
      shown.push_back(term_.cellsText(top * scale_ + r, 0, 80 * scale_));
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (candidates[i] == shown) return static_cast<int>(i);
    return std::nullopt;
  }

  // The band of the pause and the quit question's box cover parts of the
  // label or the figure: nothing is read then.
  std::optional<Reading> read() const {
    const auto entry = match(labels_, 6);
    if (!entry) return std::nullopt;
    const auto seconds = match(figures_, 15);
    if (!seconds) return std::nullopt;
    return Reading{*entry, *seconds};
  }

  std::string name_;
  VtermPty term_;
  int scale_;
  std::vector<Picture> labels_, figures_;
  std::optional<Reading> pending_, last_;
  double pendingAt_ = 0;
  std::vector<Appearance> seen_;
};

// Every screen looked at every 2 ms until `done` holds; false when it has
// not within `timeout` seconds.
bool pollUntil(const std::vector<Watched*>& all, const std::function<bool()>& done,
               double timeout) {
  const double end = now() + timeout;
  while (!done()) {
    if (now() > end) return false;
    for (Watched* w : all) w->poll();
    ::usleep(2000);
  }
  return true;
}

void pollFor(const std::vector<Watched*>& all, double seconds) {
  const double end = now() + seconds;
  pollUntil(
      all, [&] { return now() >= end; }, seconds + 1);
}

struct Event {
  double at;
  std::string what;
};

// The last event at or before `at`, and how long before.
std::string after(const std::vector<Event>& events, double at) {
  const Event* last = nullptr;
  for (const Event& e : events)
    if (e.at <= at) last = &e;
  if (last == nullptr) return "before the start";
  char text[96];
  std::snprintf(text, sizeof text, "%.2f s after %s", at - last->at, last->what.c_str());
  return text;
}

// A display's figures against the clock's.
struct Comparison {
  struct Pair {
    Reading reading;
    double at;     // when the display showed it
    double later;  // than the clock, seconds
  };
  std::vector<Pair> pairs;
  // Within kNear of each other, or not at all: a figure of the same entry
  // a minute away is another moment of the game.
  static constexpr double kNear = 5;
  std::vector<Appearance> neverOnClock;
  std::vector<Appearance> missed;  // the clock's, that the display did not show

  double largest() const {
    double most = 0;
    for (const Pair& p : pairs) most = std::max(most, std::abs(p.later));
    return most;
  }
  double mean() const {
    double sum = 0;
    for (const Pair& p : pairs) sum += p.later;
    return pairs.empty() ? 0 : sum / static_cast<double>(pairs.size());
  }
  bool met() const { return !pairs.empty() && largest() <= kTarget && neverOnClock.empty(); }
};

// A figure may show more than once in a run (the same entry again after a
// skip back, or the last level starting again): each of the display's is
// set against the clock's nearest in time.
Comparison compare(const std::vector<Appearance>& clock, const std::vector<Appearance>& display) {
  Comparison c;
  for (const Appearance& d : display) {
    const Appearance* nearest = nullptr;
    for (const Appearance& k : clock)
      if (k.reading == d.reading &&
          (nearest == nullptr || std::abs(d.at - k.at) < std::abs(d.at - nearest->at)))
        nearest = &k;
    if (nearest == nullptr || std::abs(d.at - nearest->at) > Comparison::kNear)
      c.neverOnClock.push_back(d);
    else
      c.pairs.push_back({d.reading, d.at, d.at - nearest->at});
  }
  for (const Appearance& k : clock)
    if (std::none_of(display.begin(), display.end(), [&](const Appearance& d) {
          return d.reading == k.reading && std::abs(d.at - k.at) <= Comparison::kNear;
        }))
      c.missed.push_back(k);
  return c;
}

// The table, then what lies behind it; whether every target was met.
bool report(const Watched& clock, const std::vector<const Watched*>& displays,
            const std::vector<Event>& events, double start) {
  std::printf("\nWhat the clock did (seconds from the start key):\n");
  for (const Event& e : events) std::printf("  %7.2f  %s\n", e.at - start, e.what.c_str());
  std::printf("\nThe clock showed %zu figures. Each display against it (later is positive):\n",
              clock.seen().size());
  std::printf("  %-15s %8s %10s %10s %8s  %s\n", "", "compared", "mean ms", "largest ms", "target",
              "shown, not on the clock within 5 s");
  bool all = true;
  std::vector<Comparison> comparisons;
  for (const Watched* d : displays) {
    const Comparison c = compare(clock.seen(), d->seen());
    std::printf("  %-15s %8zu %+10.1f %10.1f %8s  %zu (target none)  %s\n", d->name().c_str(),
                c.pairs.size(), 1000 * c.mean(), 1000 * c.largest(), "<= 100",
                c.neverOnClock.size(), c.met() ? "met" : "MISSED");
    all = all && c.met();
    comparisons.push_back(c);
  }
  for (std::size_t i = 0; i < displays.size(); ++i) {
    const Comparison& c = comparisons[i];
    std::printf("\n%s, its five largest differences:\n", displays[i]->name().c_str());
    std::vector<Comparison::Pair> worst = c.pairs;
    std::sort(worst.begin(), worst.end(),
              [](const auto& a, const auto& b) { return std::abs(a.later) > std::abs(b.later); });
    if (worst.size() > 5) worst.resize(5);
    for (const auto& p : worst)
      std::printf("  %+8.1f ms  %-13s at %7.2f s, %s\n", 1000 * p.later,
                  describe(p.reading).c_str(), p.at - start, after(events, p.at).c_str());
    for (const Appearance& a : c.neverOnClock)
      std::printf("  not on the clock within 5 s: %-13s at %7.2f s, %s\n",
                  describe(a.reading).c_str(), a.at - start, after(events, a.at).c_str());
    for (const Appearance& a : c.missed)
      std::printf("  the clock's, not shown here: %-13s at %7.2f s, %s\n",
                  describe(a.reading).c_str(), a.at - start, after(events, a.at).c_str());
  }
  std::printf("\n%s\n", all ? "all targets met" : "some targets MISSED");
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string chime = argc == 4 ? argv[3] : "";
  if (!(argc == 2 || (argc == 4 && std::string(argv[2]) == "--chime" &&
                      (chime == "displays" || chime == "all")))) {
    std::fprintf(stderr, "usage: bench_side_by_side POTCLOCK [--chime displays|all]\n");
    return 2;
  }
  const std::string program = argv[1];
  if (::access(program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "%s: not an executable\n", program.c_str());
    return 2;
  }
  const TempDir home("potclock-bench");
  const fs::path structure = home.path() / "side-by-side.toml";
  std::ofstream(structure) << kStructure;
  const auto launch = [&](std::vector<std::string> args, int rows, int cols, bool chimes) {
    Launch l;
    l.argv = {program};
    l.argv.insert(l.argv.end(), args.begin(), args.end());
    if (!chimes) l.argv.push_back("--quiet");
    l.env = {"XDG_STATE_HOME=" + home.path().string()};
    l.rows = rows;
    l.cols = cols;
    return l;
  };

  // The displays first: they wait for the game and take it up as it starts.
  Watched small("display 80x25", launch({"--watch"}, 25, 80, !chime.empty()), 1);
  Watched large("display 160x50", launch({"--watch", "--fill"}, 50, 160, !chime.empty()), 2);
  if (!small.term().waitForText("W A I T I N G", 10) || !large.term().settle(10)) {
    std::fprintf(stderr, "bench_side_by_side: the displays did not start\n%s\n",
                 small.term().screenText().c_str());
    return 2;
  }
  Watched clock("clock", launch({"--structure", structure.string()}, 25, 80, chime == "all"), 1);
  const std::vector<Watched*> all{&clock, &small, &large};
  std::vector<Event> events;
  const auto press = [&](const char* keys, const char* what) {
    clock.term().sendKeys(keys);
    events.push_back({now(), what});
  };
  const auto clockShows = [&](int entry, int low, int high) {
    return [&clock, entry, low, high] {
      const auto r = clock.shown();
      return r && r->entry == entry && r->seconds >= low && r->seconds <= high;
    };
  };
  const auto step = [&](const std::function<bool()>& done, const char* what) {
    if (pollUntil(all, done, kStepTimeout)) return;
    std::fprintf(stderr, "bench_side_by_side: %s did not come\n%s\n", what,
                 clock.term().screenText().c_str());
    throw 2;
  };
  const auto pressAfter = [&](const std::function<bool()>& done, const char* what, const char* keys,
                              const char* name) {
    step(done, what);
    pollFor(all, kAfterFigure);
    press(keys, name);
  };
  const auto quitQuestion = [&] {
    return clock.term().screenText().find("Quit PotClock?") != std::string::npos;
  };

  std::printf("A clock and two displays, three 1-minute entries, %s: about 3.5 minutes\n",
              chime == "all"        ? "all chiming"
              : chime == "displays" ? "the displays chiming"
                                    : "all quiet");
  std::fflush(stdout);
  double start = 0;
  try {
    step(
        [&] {
          return clock.term().screenText().find("Press any key to start timer") !=
                 std::string::npos;
        },
        "the start prompt");
    press("s", "s (start)");
    start = now();
    pressAfter(clockShows(kLevel1, 50, 50), "level 1 at 0:50", "+", "+ (skip forward)");
    pressAfter(clockShows(kBreak, 55, 55), "the break at 0:55", "-", "- (skip back)");
    pressAfter(clockShows(kLevel1, 45, 45), "level 1 again at 0:45", " ", "Space (pause)");
    pollFor(all, kHold);
    press("r", "r (resume)");
    pressAfter(clockShows(kLevel1, 30, 30), "level 1 at 0:30", "\x1b", "Escape (quit question)");
    step(quitQuestion, "the quit question");
    pollFor(all, kHold);
    press("n", "n (No)");
    step(clockShows(kBreak, 0, 60), "the break");
    step(clockShows(kLevel2, 0, 60), "level 2");
    step(clockShows(kLevel2, 0, 1), "the end of level 2");
    // A chime comes out of the next entry's time: it may start at 0:59.
    step(clockShows(kLevel2, 55, 60), "level 2 starting again");
    events.push_back({now(), "level 2 starting again"});
    pollFor(all, 3 + kAfterFigure);
    press("\x1b", "Escape (quit question)");
    step(quitQuestion, "the last quit question");
    press("y", "y (Yes)");
    if (clock.term().waitExit(10) < 0) {
      std::fprintf(stderr, "bench_side_by_side: the clock did not end\n");
      return 2;
    }
    pollFor(all, 1);
  } catch (int status) {
    return status;
  }
  return report(clock, {&small, &large}, events, start) ? 0 : 1;
}
