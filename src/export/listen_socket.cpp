#include "export/listen_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

namespace kev::metrics {
namespace {

// Room for the clients the accepting side has not picked up yet; a full
// queue makes new clients retry their SYN, which costs them a second.
constexpr int kListenBacklog = 512;
constexpr int kMaxPort = 65535;

struct AddrInfoFree {
  void operator()(addrinfo* a) const { freeaddrinfo(a); }
};
using AddrList = std::unique_ptr<addrinfo, AddrInfoFree>;

std::string BindProblem(const ListenAddress& where, int err) {
  const std::string place = HostPort(where, where.port);
  switch (err) {
    case EADDRINUSE:
      return "cannot listen on " + place + ": port " + std::to_string(where.port) +
             " is in use (another server runs there)";
    case EADDRNOTAVAIL:
      return "cannot listen on " + place + ": the address " + where.host +
             " is not on this machine";
    case EACCES:
    case EPERM:
      return "cannot listen on " + place + ": no permission (ports below 1024 need privilege)";
    default:
      return "cannot listen on " + place + ": " + std::strerror(err);
  }
}

// A socket bound and listening at a, or -1 with errno set.
int ListenAt(const sockaddr* a, socklen_t len, int family) {
  const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A restarted server may take the port over from connections in TIME_WAIT;
  // on Linux this never lets two listeners share it (no SO_REUSEPORT).
  const int on = 1;
  const int off = 0;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  if (bind(fd, a, len) == 0 && listen(fd, kListenBacklog) == 0) return fd;
  const int err = errno;
  close(fd);
  errno = err;
  return -1;
}

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress& out, std::string& error) {
  const size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
  const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
  if (bracketed) host = host.substr(1, host.size() - 2);
  int port = -1;
  const char* first = text.data() + (colon == std::string::npos ? 0 : colon + 1);
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(first, end, port);
  if (colon == std::string::npos || host.find_first_of("[]") != std::string::npos || first == end ||
      ec != std::errc() || p != end || port < 0 || port > kMaxPort) {
    error = "--listen needs ADDR:PORT or :PORT with a port from 0 to 65535, not '" + text + "'";
    return false;
  }
  out = {host, port};
  return true;
}

std::string HostPort(const ListenAddress& where, int port) {
  const std::string host = where.host.empty() ? "::" : where.host;
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

int OpenListenSocket(const ListenAddress& where, std::string& error) {
  if (where.host.empty()) {
    // Every interface: IPv6 and IPv4 on one socket, or IPv4 alone where the
    // kernel has no IPv6.
    sockaddr_in6 any6{};
    any6.sin6_family = AF_INET6;
    any6.sin6_port = htons(static_cast<uint16_t>(where.port));
    int fd = ListenAt(reinterpret_cast<sockaddr*>(&any6), sizeof any6, AF_INET6);
    if (fd < 0 && errno == EAFNOSUPPORT) {
      sockaddr_in any4{};
      any4.sin_family = AF_INET;
      any4.sin_port = any6.sin6_port;
      fd = ListenAt(reinterpret_cast<sockaddr*>(&any4), sizeof any4, AF_INET);
    }
    if (fd < 0) error = BindProblem(where, errno);
    return fd;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(where.port);
  if (getaddrinfo(where.host.c_str(), service.c_str(), &hints, &found) != 0) {
    error = "cannot listen on " + HostPort(where, where.port) + ": the name " + where.host +
            " does not resolve";
    return -1;
  }
  const AddrList list(found);
  int err = EADDRNOTAVAIL;
  for (const addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
    const int fd = ListenAt(a->ai_addr, a->ai_addrlen, a->ai_family);
    if (fd >= 0) return fd;
    err = errno;
  }
  error = BindProblem(where, err);
  return -1;
}

int BoundPort(int fd) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
  if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port);
  if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);
  return 0;
}

}  // namespace kev::metrics
