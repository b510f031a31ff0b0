#include "app/web/deadlines.h"

#include <sys/socket.h>

#include <chrono>

namespace potclock {

namespace {

double steadyNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void Deadlines::notify(void* cls, MHD_Connection* connection, void** context,
                       MHD_ConnectionNotificationCode code) {
  auto* self = static_cast<Deadlines*>(cls);
  const std::lock_guard lock(self->mutex_);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* c = new Connection;
    c->since = steadyNow();
    if (const auto* info = self->mhd_.connectionInfo(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
      c->fd = info->connect_fd;
    *context = c;
    self->connections_.insert(c);
  } else if (code == MHD_CONNECTION_NOTIFY_CLOSED && *context != nullptr) {
    // Told before the library closes the socket: once this has run, no cut
    // can reach a descriptor that has become another file's.
    auto* c = static_cast<Connection*>(*context);
    self->connections_.erase(c);
    delete c;
    *context = nullptr;
  }
}

void Deadlines::requested(void* context) {
  if (context == nullptr) return;
  const std::lock_guard lock(mutex_);
  static_cast<Connection*>(context)->requesting = false;
}

void Deadlines::answered(void* context) {
  if (context == nullptr) return;
  const std::lock_guard lock(mutex_);
  auto* c = static_cast<Connection*>(context);
  c->requesting = true;
  c->since = steadyNow();
}

void Deadlines::cut(double now) {
  const std::lock_guard lock(mutex_);
  for (Connection* c : connections_) {
    if (!c->requesting || c->cut || now - c->since < seconds_) continue;
    c->cut = true;
    if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
  }
}

}  // namespace potclock
