// What the running timer tells about its game, kept on disk as it goes: the
// state file is written at every change (a level starts, a skip, a pause, a
// resume, a counted hand) and once a minute, and removed when the game ends.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/gamestate.h"

namespace potclock {

class GameJournal {
 public:
  // Keeps nothing: the timer runs as if no file were wanted.
  GameJournal() = default;
  // Keeps the game in `file` (an empty path: there is nowhere to keep it,
  // which is reported like a failed write).
  GameJournal(std::filesystem::path file, int nMinutes, bool hands);

  // A structure game, as each of its entries starts: its length and whether
  // it counts hands.
  void structureEntry(int length, bool hands);

  // Minutes mode, at each pass of the countdown: level nLevel has
  // `secondsLeft` to run.
  void running(int nLevel, double secondsLeft);
  // Minutes mode: the level is paused with `secondsLeft` frozen.
  void paused(int nLevel, long secondsLeft);
  // Hands mode: level nLevel has `handsCounted` hands behind it.
  void hand(int nLevel, int handsCounted);
  // The game is over (its last level ran out, or "Yes" to the quit
  // question): the file goes and nothing is written after.
  void finished();
  // A file of the game could not be written: told once, however many fail.
  void reportFailure(const std::string& why);

 private:
  void keep(const GameState& state);

  bool active_ = false;
  std::filesystem::path file_;
  GameState game_;
  std::optional<GameState> written_;
  double writtenAt_ = 0;  // monotonic time of the last write
  bool failed_ = false;   // a failure has been reported
};

}  // namespace potclock
