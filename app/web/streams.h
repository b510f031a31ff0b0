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

  // A new event for every stream, and the one a new stream starts with.
  void publish(const std::string& json, long sequence);
  // The latest event's JSON.
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
  std::string event_;  // as sent, in the stream's framing
  std::string json_;
  long sequence_ = 0;
  long alive_ = 0;
  bool ending_ = false;
};

}  // namespace potclock
