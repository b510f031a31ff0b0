// `potclock --serve`: the game a clock on this machine runs, shown to
// browsers (phones, a television) as a page that follows it. It needs no
// terminal, reads the game's files and never writes them, and waits while no
// game runs, as the terminal display does.
#pragma once

#include <optional>
#include <string>

#include "app/disk/statedir.h"

namespace potclock {

struct ServeSettings {
  std::string host;  // empty: 127.0.0.1 only
  int port = 0;      // 0: a free one
  std::string game;  // the game's name; empty: the unnamed game
  bool quiet = false;
};

// The most browsers served at once; one more is refused at once (the
// socket closed), so a full server never stalls the ones it serves.
inline constexpr unsigned kMostConnections = 512;
// A connection's request must come whole this quickly, and an idle or
// unread one is closed after kIdleSeconds.
inline constexpr double kRequestSeconds = 10;
inline constexpr unsigned kIdleSeconds = 30;
// A connection's memory, its request's headers included: a request that
// does not fit is answered 431 and closed.
inline constexpr std::size_t kConnectionMemory = 16 * 1024;

// Serves until SIGINT or SIGTERM; the exit status: 0, 2 when the address
// cannot be had, 1 when the server cannot start. The URLs to open go to
// standard output, a failure to start to standard error.
int serveGame(std::optional<StateLocation> where, const ServeSettings& settings);

}  // namespace potclock
