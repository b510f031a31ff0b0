// The browsers following the game: each has a stream of server-sent events,
// suspended in the HTTP library's loop while it has nothing to send, so that
// any number of idle streams costs no work and a slow reader holds no one
// else up; a new event wakes them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "app/web/event.h"
#include "app/web/mhd.h"

namespace potclock {

class Streams;

// One browser's stream.
struct Stream {
  Streams* streams = nullptr;
  MHD_Connection* connection = nullptr;
  long sent = 0;   // the last event's sequence number sent
  long alive = 0;  // the last keep-alive sent
  std::string pending;
  std::size_t at = 0;  // of `pending`, sent
  bool suspended = false;
  bool ended = false;  // told of the end, once the server stops
};

class Streams {
 public:
  explicit Streams(const HttpLibrary& mhd) : mhd_(mhd) {}

  // A new showing for every stream, and the one a new stream starts with:
  // each is told it as of the moment it is sent, so that a browser that
  // comes long after the last change reads the server's time, not that
  // change's.
  void publish(const Showing& showing, long sequence, bool chime);
  // The latest showing's JSON, as of now.
  std::string latest();
  // A word to every stream that the server is there: a page that hears none
  // for a while knows it has lost the clock, and a stream whose browser has
  // gone is found out as its write fails.
  void keepAlive();
  // Every stream ends; true once all have been told (or have gone), so that
  // none stays suspended when the library stops.
  bool end();

  // The response of a new stream; null when the library has none to give.
  MHD_Response* open(MHD_Connection* connection);

  std::size_t count();

 private:
  static ssize_t readCallback(void* cls, std::uint64_t pos, char* buffer, std::size_t max);
  static void freeCallback(void* cls);
  ssize_t read(Stream& stream, char* buffer, std::size_t max);
  // Resumes the suspended streams, outside the lock: the library takes
  // locks of its own to resume, and calls in here under them.
  void wakeAll(std::unique_lock<std::mutex>& lock);

  const HttpLibrary& mhd_;
  std::mutex mutex_;
  std::set<Stream*> streams_;
  std::string event_;  // as sent to the streams following, in the stream's framing
  Showing showing_;
  bool chime_ = false;
  long sequence_ = 0;
  long alive_ = 0;
  bool ending_ = false;
};

}  // namespace potclock
