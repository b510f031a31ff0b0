// The browser display's listening socket, made here rather than by the HTTP
// library so that an address in use or not of this machine is refused with
// the system's own reason, before anything starts.
#pragma once

#include <string>
#include <vector>

#include "app/game/result.h"
#include "runtime/console/fdio.h"

namespace potclock {

struct Listening {
  krx::UniqueFd socket;
  // The addresses to open in a browser: one per address of the machine when
  // it listens on all of them.
  std::vector<std::string> urls;
};

// Listens on `host` (empty: 127.0.0.1 only; an address or a name of this
// machine) and `port` (0: a free one). The failure is a sentence.
Result<Listening, std::string> listenOn(const std::string& host, int port);

}  // namespace potclock
