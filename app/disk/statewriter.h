// What the running timer tells about its game, kept on disk as it goes: the
// state file is written at every change (a level starts, a skip, a pause, a
// resume, a counted hand) and once a minute, and removed when the game ends.
// The file is replaced whole each time: the writer keeps one file, never a
// log of them.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/disk/clocks.h"
#include "app/disk/statefile.h"
#include "app/game/game.h"

namespace potclock {

// Why a game is not kept before the writer tries: another clock keeps it.
struct NotKept {
  std::string brief;  // for the bottom row, after "Not kept: "
  std::string whole;  // for standard error, when the program ends
};

class StateWriter {
 public:
  // How a write reaches the disk: on the clock's own thread (the headless
  // tests, whose virtual time must see each write done), or on a thread of
  // its own, so that a slow or hung disk holds up only the file.
  enum class Writing { inForeground, inBackground };

  // Keeps nothing: the timer runs as if no file were wanted.
  StateWriter() = default;
  // Opens the state directory at `where` (nothing: there is nowhere to keep
  // the game) and tries a write of the game's file `name` there, so that a
  // game that cannot be kept is known, told and shown before it runs;
  // removes what writes of earlier processes left half-done.
  StateWriter(std::optional<StateLocation> where, Writing writing, std::string name,
              Clocks clocks = runtimeClocks());
  // Keeps nothing, and says why.
  explicit StateWriter(const NotKept& why);
  // The same in the directory of `file`, written in the foreground.
  explicit StateWriter(const std::filesystem::path& file, Clocks clocks = runtimeClocks());
  // Waits a moment for a write under way, then leaves it to the disk: the
  // way out is never held by one.
  ~StateWriter();
  StateWriter(const StateWriter&) = delete;
  StateWriter& operator=(const StateWriter&) = delete;

  // A structure game: its structure, kept beside the game, written with the
  // game's first state (a start that ends before the game does leaves
  // nothing), and tried again with each state until it is written.
  void keepStructure(std::string text);

  // What the director changed, kept with every record that follows until
  // changed again: the seconds added to the running entry's length, and a
  // planned start still to come (0: none).
  void correction(long seconds) { corrected_ = seconds; }
  void plannedStart(double startsAt) { startsAt_ = startsAt; }

  // Entry `index` of `game` counting minutes, at each pass of the countdown:
  // it has `secondsLeft` to run.
  void running(const Game& game, int index, double secondsLeft);
  // The same while the quit question is open: the screen stands at
  // `shown` seconds while the entry's time runs on.
  void asking(const Game& game, int index, double secondsLeft, long shown);
  // The same, paused with `secondsLeft` frozen.
  void paused(const Game& game, int index, long secondsLeft);
  // Entry `index` counting hands: `handsCounted` hands are behind it.
  void hand(const Game& game, int index, int handsCounted);
  // A game with a count: the count now, written with every state from now
  // on; a change of it alone is written at once, so that the displays show
  // it within the moment they take to see a state.
  void count(const Count& now);
  // The game is over (its last level ran out, or "Yes" to the quit
  // question): the files go and nothing is written after.
  void finished();
  // A file of the game could not be written: told once, however many fail,
  // on standard error in whole and by notice() in brief.
  void report(const std::string& why);

  // The line that tells that the game is not being kept, for the bottom of
  // the screen; empty while it is. Read after each record.
  const std::string& notice() const { return notice_; }

  struct Writer;  // the state shared with the writing thread

 private:
  // What every record says: the entry, its length and how it counts.
  GameState at(const Game& game, int index);
  void keep(const GameState& state);
  // Hands the text of the game's file to the writing thread, or writes it
  // at once when there is none; a structure copy not yet written goes first.
  void write(std::string text);
  void collectFailure();

  bool active_ = false;
  std::filesystem::path file_;
  std::string name_;
  Clocks clocks_ = runtimeClocks();
  std::shared_ptr<Writer> writer_;  // none: there is nowhere to keep the game
  std::optional<GameState> written_;
  std::optional<Count> count_;
  double writtenAt_ = 0;  // monotonic time of the last write
  bool failed_ = false;   // a failure has been reported
  long corrected_ = 0;
  double startsAt_ = 0;
  std::string notice_;
};

}  // namespace potclock
