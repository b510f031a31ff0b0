// The time a browser has to send its request: the HTTP library cuts a
// connection that stays silent, but not one that trickles a byte at a time.
// Such a connection is cut here once its request has taken too long, so
// that no client holds a place in the connection limit by being slow.
#pragma once

#include <mutex>
#include <set>

#include "app/web/mhd.h"

namespace potclock {

class Deadlines {
 public:
  // `seconds` for a request's headers, from the connection's start or the
  // end of its last request.
  Deadlines(const HttpLibrary& mhd, double seconds) : mhd_(mhd), seconds_(seconds) {}

  // The library's connection notices (MHD_OPTION_NOTIFY_CONNECTION).
  static void notify(void* cls, MHD_Connection* connection, void** context,
                     MHD_ConnectionNotificationCode code);
  // The request on `context` (the connection's socket context) has come
  // whole, or has been answered and the next may start.
  void requested(void* context);
  void answered(void* context);

  // Cuts the connections whose request is overdue at `now` (steady clock,
  // seconds): the library sees the socket end, and closes it as its own.
  void cut(double now);

 private:
  struct Connection {
    int fd = -1;
    double since = 0;
    bool requesting = true;  // its request has not yet come whole
    bool cut = false;
  };

  const HttpLibrary& mhd_;
  double seconds_;
  std::mutex mutex_;
  std::set<Connection*> connections_;
};

}  // namespace potclock
