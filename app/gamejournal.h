// What the running timer tells about its game, kept on disk as it goes: the
// state file is written at every change (a level starts, a skip, a pause, a
// resume, a counted hand) and once a minute, and removed when the game ends.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/gamestate.h"

namespace potclock {

class GameJournal {
 public:
  // How a write reaches the disk: on the clock's own thread (the headless
  // tests, whose virtual time must see each write done), or on a thread of
  // its own, so that a slow or hung disk holds up only the file.
  enum class Writing { inForeground, inBackground };

  // Keeps nothing: the timer runs as if no file were wanted.
  GameJournal() = default;
  // Opens the state directory at `where` (nothing: there is nowhere to keep
  // the game) and tries a write of the game's file `name` there, so that a
  // game that cannot be kept is known, told and shown before it runs;
  // removes what writes of earlier processes left half-done.
  GameJournal(std::optional<StateLocation> where, Writing writing, std::string name);
  // The same in the directory of `file`, written in the foreground, with
  // the game begun.
  GameJournal(const std::filesystem::path& file, int nPerLevel, Mode mode);
  // Waits a moment for a write under way, then leaves it to the disk: the
  // way out is never held by one.
  ~GameJournal();
  GameJournal(const GameJournal&) = delete;
  GameJournal& operator=(const GameJournal&) = delete;

  // What the game is: its minutes or hands per level.
  void begin(int nPerLevel, Mode mode);

  // A structure game: its structure, kept beside the game once, before the
  // game's first state.
  void keepStructure(std::string text);
  // A structure game, as each of its entries starts: its length and how it
  // runs.
  void structureEntry(int length, Mode mode);

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
  // A file of the game could not be written: told once, however many fail,
  // on the screen's bottom row and on standard error.
  void report(const std::string& why);

  // The line that tells that the game is not being kept, for the bottom of
  // the screen; empty while it is.
  const std::string& notice() const { return notice_; }

  struct Writer;  // the state shared with the writing thread

 private:
  void keep(const GameState& state);
  // Hands the text of the game's file (or of its structure copy) to the
  // writing thread, or writes it at once when there is none.
  void write(bool structure, std::string text);
  void collectFailure();
  void showNotice() const;

  bool active_ = false;
  std::filesystem::path file_;
  std::string name_;
  std::shared_ptr<Writer> writer_;  // none: there is nowhere to keep the game
  GameState game_;
  std::optional<GameState> written_;
  double writtenAt_ = 0;  // monotonic time of the last write
  bool failed_ = false;   // a failure has been reported
  std::string notice_;
};

// Shows `notice` (a GameJournal's) on the bottom row of the screen, leaving
// the cursor and the colours as they were; nothing when it is empty.
void showKeepingNotice(std::string_view notice);

}  // namespace potclock
