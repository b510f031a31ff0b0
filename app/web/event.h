// What the browser display is told of the game: one JSON object per event,
// made from the state file and the game as the terminal display reads them.
// Every field the page shows is added in showingAt, the one place to add
// more.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/disk/statefile.h"
#include "app/game/game.h"
#include "app/web/json.h"

namespace potclock {

// The game as shown at a moment. `fields` hold what changes only when the
// game does (so two showings of the same level and pause compare equal);
// the times that run are kept apart.
struct Showing {
  JsonObject fields;
  bool counting = false;  // a running level of minutes: the page counts down
  double left = 0;        // seconds left in the level, minutes mode
  double endsAt = 0;      // counting: the wall clock's reading at its end
};

// The showing of the game whose state is `loaded` (of file `file`) at wall
// time `now`; `game` is the game the state is a point of, when it can be
// made.
Showing showingAt(const Result<GameState>& loaded, const std::optional<Game>& game,
                  const std::filesystem::path& file, double now);

// The event's JSON: the showing, its sequence number, the server's wall
// time `now` (the page corrects its own clock by it, so it must be the time
// the event is sent, not the time the game last changed), and whether the
// page chimes. A level counting down says the time left at `now`.
std::string eventJson(const Showing& showing, long sequence, double now, bool chime);

// The wall clock, in seconds since the epoch.
double wallNow();

}  // namespace potclock
