// How a director's command reaches the clock that runs a game: a socket
// beside the game's file in the state directory, which only the clock that
// holds the game's lock listens on. The directory is the user's own (see
// StateDir), and the clock answers only its own user, so no one else can
// tell it anything. A command is applied once or not at all: the clock
// answers on the connection it came by, and one that waited too long (the
// clock was busy with its quit question) is dropped unapplied, before the
// teller gives up on it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/disk/statedir.h"
#include "app/game/result.h"
#include "runtime/console/fdio.h"

namespace potclock {

// A command come in, and the way to answer it.
struct Told {
  std::vector<std::string> words;
  std::function<void(bool ok, std::string_view text)> answer;
};

// Where the running timer finds what it is told: the channel, or a test's
// script.
class Inbox {
 public:
  virtual ~Inbox() = default;
  // Readable when a command waits (for WakeOnInput); -1 for none.
  virtual int descriptor() const = 0;
  // The next command waiting, without waiting for one.
  virtual std::optional<Told> next() = 0;
};

// The socket's name beside the game's file `gameFile`.
std::string channelName(std::string_view gameFile);

// How long a teller waits for the clock's answer, and how old a command the
// clock still applies: less, so that a command the teller has given up on
// is never applied.
inline constexpr double kTellWait = 5.0;
inline constexpr double kTellFresh = 4.0;

class Channel final : public Inbox {
 public:
  // Listens beside the game's file `gameFile` in the state directory at
  // `where`; the caller holds the game's lock.
  static Result<std::unique_ptr<Channel>> open(const StateLocation& where, std::string gameFile);
  // Takes the socket away with it: nothing listens any more.
  ~Channel() override;
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  int descriptor() const override { return listening_.get(); }
  std::optional<Told> next() override;

 private:
  Channel(StateDir dir, std::string name, krx::UniqueFd listening)
      : dir_(std::move(dir)), name_(std::move(name)), listening_(std::move(listening)) {}
  StateDir dir_;
  std::string name_;
  krx::UniqueFd listening_;
};

// The clock's answer to a command.
struct Answer {
  bool ok = false;
  std::string text;
};

// Tells `words` to the clock that runs the game of file `gameFile` and waits
// for its answer; else the line that says why it could not (no clock runs
// the game, the clock did not answer in time).
Result<Answer, std::string> tellClock(const StateLocation& where, std::string_view gameFile,
                                      const std::vector<std::string>& words);

}  // namespace potclock
