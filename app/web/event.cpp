#include "app/web/event.h"

#include "app/game/numbers.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "app/disk/resume.h"

namespace potclock {

namespace {

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

Showing waiting(std::string_view why = {}) {
  Showing s;
  s.fields.add("game", false).add("why", why);
  return s;
}

}  // namespace

Showing showingAt(const Result<GameState>& loaded, const std::optional<Game>& game,
                  const std::filesystem::path& file, double now) {
  const auto unusable = [&](const Failure& failure) {
    std::string why = loadFailureMessage(file, failure);
    if (why.starts_with("potclock: ")) why.erase(0, 10);
    return waiting(why);
  };
  if (!loaded.ok()) {
    if (loaded.failure().kind == Failure::missing) return waiting();
    return unusable(loaded.failure());
  }
  if (!game) return unusable({Failure::damaged, {}});
  const GameState& state = loaded.value();
  const auto point = shownPoint(state, *game, now);
  // The clock ends the game after its last level, and removes its file.
  if (!point) return waiting();
  const int i = point->index;
  const Mode mode = game->mode(i);
  Showing s;
  s.left = point->within.secondsLeft;
  s.counting = mode == Mode::minutes && !point->within.paused && !state.asking;
  s.endsAt = now + s.left;
  // The built-in table has no level after its last: the game ends there.
  const bool hasNext = game->fromFile() || i + 1 < game->size();
  s.fields.add("game", true)
      .add("structure", game->name())
      .add("index", i)
      .add("level", trimmed(game->designation(i)))
      .add("blinds", trimmed(game->label(i)))
      .add("ante", game->ante(i))
      .add("break", game->isBreak(i))
      .add("note", game->isBreak(i) ? game->note(i) : std::string())
      .add("mode", mode == Mode::hands ? "hands" : "minutes")
      .add("paused", point->within.paused)
      .add("asking", state.asking)
      .add("hand", point->within.handsCounted + 1)
      .add("hands", game->length(i))
      .add("next", hasNext ? trimmed(game->next(i).text) : std::string());
  // A planned start still to come: the page counts down to it.
  s.fields.add("before", point->within.startsAt > 0);
  // What the structure warns of: the page colours the last minute, marks a
  // break to come and counts down to the end of late registration.
  s.fields
      .add("warnMinute", game->warnings().minute && mode == Mode::minutes && game->length(i) > 1)
      .add("breakNext", game->warnings().breakAhead && i + 1 < game->size() && game->isBreak(i + 1))
      .add("registrationEnds",
           game->warnings().lateRegistration && registrationEndsAt(game->structure(), i));
  // The tournament's numbers, as the terminal's row and break screen say them.
  if (state.count && game->structure().numbers) {
    std::string prizes;
    for (const std::string& p : payoutTexts(*game->structure().numbers, *state.count))
      prizes += (prizes.empty() ? "" : "   ") + p;
    s.fields.add("numbers", numbersRow(game->structure(), i, *state.count)).add("prizes", prizes);
  }
  return s;
}

double wallNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string eventJson(const Showing& showing, long sequence, double now, bool chime) {
  JsonObject o = showing.fields;
  o.add("seq", sequence).add("now", now).add("chime", chime).add("counting", showing.counting);
  if (showing.counting) o.add("endsAt", showing.endsAt);
  o.add("left", showing.counting ? std::max(0.0, showing.endsAt - now) : showing.left);
  return o.text();
}

}  // namespace potclock
