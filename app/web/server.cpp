#include "app/web/server.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/disk/follower.h"
#include "app/web/deadlines.h"
#include "app/web/event.h"
#include "app/web/listen.h"
#include "app/web/mhd.h"
#include "app/web/page.h"
#include "app/web/streams.h"

namespace potclock {

namespace {

// A page that hears nothing for twelve seconds says it has lost the clock.
constexpr double kAliveEvery = 5;
constexpr double kStopWait = 1;

// Only what comes from the server itself, and nothing inline: the page's
// script and style are files of their own.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Rounded as the clock rounds its countdown. Without the maths library,
// which the lean program does not link.
long wholeSeconds(double seconds) {
  return static_cast<long>(seconds + 0.5);
}

double steadyNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The file descriptors the connection limit needs, and a few for the
// server's own: the soft limit is raised to the hard one, and the limit on
// connections lowered to what that allows.
unsigned connectionLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return 64;
  if (files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
  constexpr rlim_t kOwn = 32;
  if (files.rlim_cur == RLIM_INFINITY || files.rlim_cur >= kMostConnections + kOwn)
    return kMostConnections;
  return files.rlim_cur > 2 * kOwn ? static_cast<unsigned>(files.rlim_cur - kOwn) : kOwn;
}

struct Server {
  const HttpLibrary& mhd;
  Streams streams;
  Deadlines deadlines;
};

MHD_Result queue(const Server& server, MHD_Connection* connection, unsigned status,
                 std::string_view body, const char* type, const char* cache,
                 const char* allow = nullptr) {
  const HttpLibrary& mhd = server.mhd;
  MHD_Response* response =
      mhd.responseFromBuffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  mhd.addHeader(response, "Content-Type", type);
  mhd.addHeader(response, "Cache-Control", cache);
  mhd.addHeader(response, "Content-Security-Policy", kPolicy);
  mhd.addHeader(response, "X-Content-Type-Options", "nosniff");
  mhd.addHeader(response, "Referrer-Policy", "no-referrer");
  if (allow != nullptr) mhd.addHeader(response, "Allow", allow);
  const MHD_Result queued = mhd.queueResponse(connection, status, response);
  mhd.destroyResponse(response);
  return queued;
}

MHD_Result answerStream(Server& server, MHD_Connection* connection) {
  const HttpLibrary& mhd = server.mhd;
  MHD_Response* response = server.streams.open(connection);
  if (response == nullptr) return MHD_NO;
  mhd.addHeader(response, "Content-Type", "text/event-stream; charset=utf-8");
  mhd.addHeader(response, "Cache-Control", "no-store");
  mhd.addHeader(response, "Content-Security-Policy", kPolicy);
  mhd.addHeader(response, "X-Content-Type-Options", "nosniff");
  mhd.addHeader(response, "Referrer-Policy", "no-referrer");
  const MHD_Result queued = mhd.queueResponse(connection, 200, response);
  mhd.destroyResponse(response);
  return queued;
}

// The library's request handler: a fixed handful of paths, read-only.
MHD_Result answer(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char*, std::size_t* uploadSize, void** requestContext) {
  auto& server = *static_cast<Server*>(cls);
  if (*requestContext == nullptr) {
    // Its headers have come whole: no deadline any more.
    if (const auto* info =
            server.mhd.connectionInfo(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT))
      server.deadlines.requested(info->socket_context);
    *requestContext = &server;
  } else if (*uploadSize != 0) {
    // A body nobody asked for is dropped; the answer has gone already.
    *uploadSize = 0;
    return MHD_YES;
  }
  const std::string_view m = method, path = url;
  const bool head = m == "HEAD";
  constexpr const char* kCached = "no-cache";
  constexpr const char* kText = "text/plain; charset=utf-8";
  const bool known = path == "/" || path == "/app.js" || path == "/app.css" || path == "/events" ||
                     path == "/state.json";
  if (!known) return queue(server, connection, 404, "Not found\n", kText, kCached);
  if (m != "GET" && !head)
    return queue(server, connection, 405, "Only GET and HEAD\n", kText, kCached, "GET, HEAD");
  if (path == "/")
    return queue(server, connection, 200, kPageHtml, "text/html; charset=utf-8", kCached);
  if (path == "/app.js")
    return queue(server, connection, 200, kPageJs, "text/javascript; charset=utf-8", kCached);
  if (path == "/app.css")
    return queue(server, connection, 200, kPageCss, "text/css; charset=utf-8", kCached);
  if (path == "/state.json")
    return queue(server, connection, 200, server.streams.latest() + "\n",
                 "application/json; charset=utf-8", "no-store");
  if (head)
    return queue(server, connection, 200, "", "text/event-stream; charset=utf-8", "no-store");
  return answerStream(server, connection);
}

void completed(void* cls, MHD_Connection* connection, void**, MHD_RequestTerminationCode) {
  auto& server = *static_cast<Server*>(cls);
  if (const auto* info = server.mhd.connectionInfo(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT))
    server.deadlines.answered(info->socket_context);
}

// Ctrl-C and SIGTERM, read as a file rather than caught: blocked in every
// thread (the library's inherits the mask), they wake the loop.
class EndingSignals {
 public:
  EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    fd_.reset(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    // A browser gone mid-write must not end the server.
    ::signal(SIGPIPE, SIG_IGN);
  }
  ~EndingSignals() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;
  int descriptor() const { return fd_.get(); }
  // Takes the signal that came, so that it does not strike again once it is
  // unblocked on the way out.
  bool take() {
    signalfd_siginfo info{};
    return ::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info);
  }

 private:
  sigset_t old_{};
  krx::UniqueFd fd_;
};

// The daemon, stopped on every way out; its streams end first, so that none
// is left suspended when it stops.
class Daemon {
 public:
  Daemon(Server& server, MHD_Daemon* daemon) : server_(server), daemon_(daemon) {}
  ~Daemon() {
    if (daemon_ == nullptr) return;
    const double until = steadyNow() + kStopWait;
    while (!server_.streams.end() && steadyNow() < until) ::usleep(10000);
    server_.mhd.stopDaemon(daemon_);
  }
  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;
  bool running() const { return daemon_ != nullptr; }

 private:
  Server& server_;
  MHD_Daemon* daemon_;
};

}  // namespace

int serveGame(std::optional<StateLocation> where, const ServeSettings& settings) {
  std::string why;
  const HttpLibrary* mhd = httpLibrary(why);
  if (mhd == nullptr) {
    std::fprintf(stderr, "potclock: %s\n", why.c_str());
    return 1;
  }
  auto listening = listenOn(settings.host, settings.port);
  if (!listening.ok()) {
    // The address asked for cannot be had: as an option not understood.
    std::fprintf(stderr, "potclock: %s\n", listening.failure().c_str());
    return 2;
  }
  EndingSignals signals;
  Server server{*mhd, Streams(*mhd), Deadlines(*mhd, kRequestSeconds)};
  Follower follow(std::move(where), gameFileName(settings.game));
  const unsigned limit = connectionLimit();
  const int socket = listening.value().socket.release();
  const Daemon daemon(
      server, mhd->startDaemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr,
                               nullptr, answer, &server, MHD_OPTION_LISTEN_SOCKET, socket,
                               MHD_OPTION_CONNECTION_LIMIT, limit, MHD_OPTION_CONNECTION_TIMEOUT,
                               kIdleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
                               MHD_OPTION_NOTIFY_CONNECTION, Deadlines::notify, &server.deadlines,
                               MHD_OPTION_NOTIFY_COMPLETED, completed, &server, MHD_OPTION_END));
  if (!daemon.running()) {
    ::close(socket);
    std::fprintf(stderr, "potclock: the web server did not start\n");
    return 1;
  }
  std::printf("A display of the game for browsers, read-only%s. Open:\n",
              settings.game.empty() ? "" : (" (game " + settings.game + ")").c_str());
  for (const std::string& url : listening.value().urls) std::printf("  %s\n", url.c_str());
  std::printf("Ctrl-C ends it.\n");
  std::fflush(stdout);

  Result<GameState> loaded = Failure{Failure::missing, {}};
  std::optional<Game> game;
  std::optional<Showing> shown;
  long sequence = 0;
  double aliveAt = steadyNow();
  for (;;) {
    if (follow.look()) {
      loaded = follow.state();
      game = loaded.ok() ? follow.game(loaded.value()) : std::nullopt;
    }
    const double now = wallNow();
    Showing showing = showingAt(loaded, game, follow.file(), now);
    // Told when the game shows otherwise: not as its seconds run down,
    // which the page counts itself.
    const bool changed =
        !shown || showing.fields.text() != shown->fields.text() ||
        showing.counting != shown->counting ||
        (showing.counting && std::abs(showing.endsAt - shown->endsAt) > 0.05) ||
        (!showing.counting && wholeSeconds(showing.left) != wholeSeconds(shown->left));
    if (changed) {
      ++sequence;
      server.streams.publish(showing, sequence, !settings.quiet);
      shown = std::move(showing);
    }
    const double steady = steadyNow();
    if (steady - aliveAt >= kAliveEvery) {
      server.streams.keepAlive();
      aliveAt = steady;
    }
    server.deadlines.cut(steady);
    // Until the next whole second, the level's end, or a look for the
    // directory while there is none.
    double wait = 1.0 - (now - static_cast<double>(static_cast<long long>(now)));
    if (shown->counting) wait = std::min(wait, shown->endsAt - now + 0.002);
    if (!follow.present()) wait = std::min(wait, kLookForDirectoryEvery);
    if (!follow.told()) wait = std::min(wait, 0.2);
    pollfd fds[2] = {{signals.descriptor(), POLLIN, 0}, {follow.descriptor(), POLLIN, 0}};
    const int ready =
        ::poll(fds, follow.told() ? 2 : 1, static_cast<int>(std::max(wait, 0.0) * 1000) + 1);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0 && signals.take()) break;
  }
  std::printf("Stopped.\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace potclock
