#include "app/web/listen.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace potclock {

namespace {

constexpr int kBacklog = 128;

std::string numericHost(const sockaddr* address, socklen_t length) {
  char host[NI_MAXHOST];
  if (::getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
    return "?";
  return host;
}

std::string url(const std::string& host, bool six, int port) {
  return "http://" + (six ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

// Listening on every address: the ones a browser in the room can reach.
std::vector<std::string> machineUrls(int family, int port) {
  std::vector<std::string> urls;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) == 0) {
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, ::freeifaddrs);
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
      if (a->ifa_addr == nullptr || (a->ifa_flags & IFF_LOOPBACK) != 0) continue;
      const int f = a->ifa_addr->sa_family;
      if (f != AF_INET && !(family == AF_INET6 && f == AF_INET6)) continue;
      // Link-local addresses need a zone a browser cannot be given.
      if (f == AF_INET6 &&
          IN6_IS_ADDR_LINKLOCAL(&reinterpret_cast<const sockaddr_in6*>(a->ifa_addr)->sin6_addr))
        continue;
      const socklen_t length = f == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
      urls.push_back(url(numericHost(a->ifa_addr, length), f == AF_INET6, port));
    }
  }
  urls.push_back(url(family == AF_INET6 ? "::1" : "127.0.0.1", family == AF_INET6, port));
  return urls;
}

}  // namespace

Result<Listening, std::string> listenOn(const std::string& host, int port) {
  const std::string shown = host.empty() ? "127.0.0.1" : host;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int failed = ::getaddrinfo(shown.c_str(), service.c_str(), &hints, &found); failed != 0)
    return std::string("cannot serve on '" + shown + "': " + ::gai_strerror(failed));
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
  std::string why;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    krx::UniqueFd fd(
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (!fd.valid()) {
      why = std::strerror(errno);
      continue;
    }
    // A server ended a moment ago leaves its port in TIME_WAIT: start anyway.
    const int yes = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd.get(), a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd.get(), kBacklog) != 0) {
      why = std::strerror(errno);
      continue;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    const int actual =
        ntohs(a->ai_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                       : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    const std::string address = numericHost(reinterpret_cast<sockaddr*>(&bound), length);
    const bool any = address == "0.0.0.0" || address == "::";
    Listening l;
    l.urls = any ? machineUrls(a->ai_family, actual)
                 : std::vector{url(address, a->ai_family == AF_INET6, actual)};
    l.socket = std::move(fd);
    return l;
  }
  return std::string("cannot serve on " + shown + " port " + service + ": " + why);
}

}  // namespace potclock
