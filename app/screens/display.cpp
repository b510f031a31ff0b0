#include "app/screens/display.h"

#include <string>
#include <utility>
#include <variant>

#include "app/disk/follower.h"
#include "app/disk/resume.h"
#include "app/disk/statefile.h"
#include "app/screens/notice.h"
#include "app/screens/say.h"
#include "app/screens/timer.h"
#include "app/screens/timertexts.h"
#include "app/screens/tvband.h"
#include "bigtext/bigletters.h"
#include "runtime/console/console.h"
#include "runtime/console/fdio.h"
#include "runtime/lang/item.h"
#include "runtime/lang/strings.h"

namespace potclock {

using namespace krx;

namespace {

constexpr std::string_view kWaitingHeading = "W A I T I N G   F O R   T H E   G A M E";
// Without inotify (the user's instances used up) the display looks at the
// game's files itself, this often, and says so.
constexpr double kLookEvery = 0.2;
constexpr std::string_view kLooking =
    "Polling every 0.2 s: no inotify instance is left (fs.inotify.max_user_instances)";

// What the screen shows of the game at a moment.
struct View {
  bool game = false;
  std::string why;  // no game: why its file cannot be used, if that is why
  bool structure = false;
  int index = 0;  // the entry
  Mode mode = Mode::minutes;
  bool paused = false;
  bool asking = false;  // the clock's quit question is open: its screen stands still
  bool before = false;  // a planned start is still to come: `left` is the time to it
  double left = 0;      // running: seconds left
  long remain = 0;      // the seconds the countdown shows
  int hand = 0;         // hands: the hand shown, of `of`
  int of = 0;
  double at = 0;               // the wall clock's reading it was made at
  std::optional<Count> count;  // a game with a [tournament] table
};

View waiting(std::string why = {}) {
  View v;
  v.why = std::move(why);
  return v;
}

// The waiting screen, telling why the game's file cannot be used: the line
// --resume would say, without the program's name before it.
View unusable(const std::filesystem::path& file, const Failure& failure) {
  std::string why = loadFailureMessage(file, failure);
  if (why.starts_with("potclock: ")) why.erase(0, 10);
  return waiting(why);
}

View viewOf(const Result<GameState>& loaded, const std::optional<Game>& game,
            const std::filesystem::path& file, double now) {
  if (!loaded.ok()) {
    if (loaded.failure().kind == Failure::missing) return waiting();
    return unusable(file, loaded.failure());
  }
  if (!game) return unusable(file, {Failure::damaged, {}});
  const GameState& state = loaded.value();
  // The clock ends the game after its last level, and removes its file.
  const auto point = shownPoint(state, *game, now);
  if (!point) return waiting();
  View v;
  v.at = now;
  v.asking = state.asking;
  v.game = true;
  v.structure = game->fromFile();
  v.index = point->index;
  v.mode = game->mode(point->index);
  v.of = game->length(point->index);
  v.paused = point->within.paused;
  v.hand = point->within.handsCounted + 1;
  v.left = point->within.secondsLeft;
  v.before = point->within.startsAt > 0;
  v.remain = static_cast<long>(ROUND(v.left, 0));
  v.count = state.count;
  return v;
}

// The level the clock showed has run out, and the clock chimes: its time is
// up (the display sees that by itself, as the clock does), or its last hand
// has been played. A level skipped in its last second has not run out: its
// end had not come when the next level began.
bool ranOut(const View& before, const View& now) {
  if (!before.game || !now.game || before.structure != now.structure || before.paused ||
      before.asking)
    return false;
  // The clock chimes as the game begins at its planned start.
  if (before.before) return !now.before && now.index == before.index;
  const bool next = now.index == before.index + 1;
  const bool same = now.index == before.index;
  if (before.mode == Mode::hands)
    return before.hand == before.of && (next || (same && now.hand < before.hand));
  constexpr double kJitter = 0.05;
  const bool endCame = before.left - (now.at - before.at) <= kJitter;
  return before.remain <= 1 && endCame && (next || (same && now.remain > before.remain));
}

// The last minute of the level the clock shows has begun since `before`.
bool minuteBegun(const View& before, const View& now, const Game& game) {
  if (!now.game || now.paused || now.asking || now.before || now.mode != Mode::minutes)
    return false;
  // Only when seen to begin: a display started within the minute is silent.
  return before.game && !before.before && before.index == now.index &&
         !game.lastMinute(before.index, before.remain) && game.lastMinute(now.index, now.remain);
}

void drawWaiting(const View& v, std::string_view game) {
  sayCentred(8, kWaitingHeading);
  sayCentred(11, game.empty()
                     ? std::string("No game is running on this machine.")
                     : "No game named " + std::string(game) + " is running on this machine.");
  sayCentred(13, "The game shows here as soon as a potclock starts it.");
  // A long reason (it names the directory) on as many rows as it takes.
  int row = 16;
  for (std::string_view why = v.why; !why.empty() && row < 21; ++row) {
    std::size_t cut = why.size() <= 78 ? why.size() : why.rfind(' ', 78);
    if (cut == std::string_view::npos || cut == 0) cut = std::min<std::size_t>(why.size(), 78);
    sayCentred(row, why.substr(0, cut));
    why.remove_prefix(std::min(why.size(), cut + 1));
  }
  showHintRow(Hints::display, Mode::minutes);
}

void draw(const View& v, const std::optional<Game>& game, std::string_view name) {
  SETCOLOR(kSetupColors);
  SCROLL();
  SETPOS(0, 0);
  if (!v.game) {
    drawWaiting(v, name);
  } else {
    if (v.before)
      drawStart(*game, v.index, Hints::display, v.count);
    else
      drawEntry(*game, v.index, Hints::display, v.count);
    if (v.mode == Mode::hands)
      SAYBIG(15, handText(v.hand, v.of));
    else if (v.before)
      SAYBIG(15, timeLeftText(v.remain));
    else
      showTimeLeft(*game, v.index, v.remain);
    if (v.paused) showPausedBand(Hints::display);
  }
  showTimeOfDay();
}

// Until the screen next changes: the countdown's next figure, as the clock
// waits for it, or the time of day's next second.
double untilNextChange(const View& v) {
  double wait = 1.0 - remainderOf(SECONDS(), 1.0);
  if (v.game && v.mode == Mode::minutes && !v.paused && !v.asking)
    wait = std::min(wait, untilNextFigure(v.left));
  return std::max(wait, 0.0) + 0.002;
}

}  // namespace

void watchGame(std::optional<StateLocation> where, std::string_view name, const Clocks& clocks) {
  SETCURSOR(0);
  SETMOUSE(false);
  Follower follow(std::move(where), gameFileName(name));
  const WakeOnInput wake(follow.descriptor());
  Result<GameState> loaded = Failure{Failure::missing, {}};
  std::optional<Game> game;
  std::optional<View> shown;
  for (;;) {
    if (follow.look()) {
      loaded = follow.state();
      game = loaded.ok() ? follow.game(loaded.value()) : std::nullopt;
    }
    const View v = viewOf(loaded, game, follow.file(), clocks.wall());
    const bool chime = shown && ranOut(*shown, v);
    // The last level starting again: the clock's low tone after the chime.
    const bool again = chime && shown->index == v.index && !shown->before;
    // As the clock: a short tone as a last minute warned of begins.
    if (shown && !chime && game && minuteBegun(*shown, v, *game)) playMinuteWarning();
    shown = v;
    if (chime) {
      // As on the clock: the notes while the level that ran out stands, so
      // that both show the next figure at one moment.
      playChime();
      if (again) TONE(600, 1);
      continue;
    }
    draw(v, game, name);
    double wait = untilNextChange(v);
    // A clock that starts makes the directory: its first screen shows here
    // at once, not at the next second.
    if (!follow.present()) wait = std::min(wait, kLookForDirectoryEvery);
    if (!follow.told()) {
      showKeepingNotice(kLooking);
      wait = std::min(wait, kLookEvery);
    }
    const int key = INKEY(wait);
    if (key == K_ESC || key == 'q' || key == 'Q') break;
  }
}

}  // namespace potclock
