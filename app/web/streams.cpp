#include "app/web/streams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace potclock {

namespace {

// Each read fills at most this much of the library's buffer: an event is a
// few hundred bytes, so one read sends it whole, and the connection's
// memory stays small.
constexpr std::size_t kBlock = 1024;

constexpr std::string_view kAlive = "event: alive\ndata: {}\n\n";

std::string framed(const std::string& json, long sequence) {
  return "event: state\nid: " + std::to_string(sequence) + "\ndata: " + json + "\n\n";
}

}  // namespace

void Streams::publish(const Showing& showing, long sequence, bool chime) {
  std::unique_lock lock(mutex_);
  showing_ = showing;
  chime_ = chime;
  sequence_ = sequence;
  event_ = framed(eventJson(showing, sequence, wallNow(), chime), sequence);
  wakeAll(lock);
}

std::string Streams::latest() {
  const std::lock_guard lock(mutex_);
  return eventJson(showing_, sequence_, wallNow(), chime_);
}

void Streams::keepAlive() {
  std::unique_lock lock(mutex_);
  ++alive_;
  wakeAll(lock);
}

bool Streams::end() {
  std::unique_lock lock(mutex_);
  ending_ = true;
  const bool done =
      std::all_of(streams_.begin(), streams_.end(), [](const Stream* s) { return s->ended; });
  wakeAll(lock);
  return done;
}

std::size_t Streams::count() {
  const std::lock_guard lock(mutex_);
  return streams_.size();
}

void Streams::wakeAll(std::unique_lock<std::mutex>& lock) {
  std::vector<MHD_Connection*> waking;
  for (Stream* s : streams_) {
    if (!s->suspended) continue;
    s->suspended = false;
    waking.push_back(s->connection);
  }
  lock.unlock();
  // Still suspended until resumed here, none of them can have gone.
  for (MHD_Connection* c : waking) mhd_.resume(c);
}

MHD_Response* Streams::open(MHD_Connection* connection) {
  auto stream = std::make_unique<Stream>();
  stream->streams = this;
  stream->connection = connection;
  {
    const std::lock_guard lock(mutex_);
    streams_.insert(stream.get());
  }
  Stream* raw = stream.release();
  MHD_Response* response =
      mhd_.responseFromCallback(MHD_SIZE_UNKNOWN, kBlock, readCallback, raw, freeCallback);
  if (response == nullptr) freeCallback(raw);
  return response;
}

ssize_t Streams::readCallback(void* cls, std::uint64_t, char* buffer, std::size_t max) {
  auto* stream = static_cast<Stream*>(cls);
  return stream->streams->read(*stream, buffer, max);
}

void Streams::freeCallback(void* cls) {
  const std::unique_ptr<Stream> stream(static_cast<Stream*>(cls));
  const std::lock_guard lock(stream->streams->mutex_);
  stream->streams->streams_.erase(stream.get());
}

ssize_t Streams::read(Stream& s, char* buffer, std::size_t max) {
  const std::lock_guard lock(mutex_);
  if (s.at == s.pending.size()) {
    s.pending.clear();
    s.at = 0;
    if (ending_) {
      s.ended = true;
      return MHD_CONTENT_READER_END_OF_STREAM;
    }
    if (s.sent < sequence_) {
      s.pending = s.sent == 0 ? framed(eventJson(showing_, sequence_, wallNow(), chime_), sequence_)
                              : event_;
      s.sent = sequence_;
    } else if (s.alive < alive_) {
      s.pending = kAlive;
      s.alive = alive_;
    }
  }
  if (s.pending.empty()) {
    // Nothing to send: out of the loop until the next event resumes it.
    s.suspended = true;
    mhd_.suspend(s.connection);
    return 0;
  }
  const std::size_t n = std::min(max, s.pending.size() - s.at);
  std::memcpy(buffer, s.pending.data() + s.at, n);
  s.at += n;
  return static_cast<ssize_t>(n);
}

}  // namespace potclock
