#include "listen_backlog.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <stdexcept>
#include <string>

namespace orvane::site::standin::detail {
namespace {

// True when `socket` is a listening IPv4 or IPv6 socket bound to `port`.
bool listensOn(int socket, int port) {
  int accepting = 0;
  socklen_t size = sizeof(accepting);
  if (::getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) != 0 || !accepting) {
    return false;
  }
  sockaddr_storage address{};
  socklen_t length = sizeof(address);
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port) == port;
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port) == port;
  }
  return false;
}

}  // namespace

httplib::SocketOptions ListenBacklog::socketOptions() {
  // Called for each address tried until one binds; the last one is the one that listens.
  // SO_REUSEADDR alone: a port lately closed can be bound again at once, but one that another
  // server listens on is refused. (cpp-httplib's own options add SO_REUSEPORT, under which a
  // second server would silently share the port and take some of its connections.)
  return [this](socket_t socket) {
    int yes = 1;
    (void)::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    socket_ = socket;
  };
}

void ListenBacklog::raise(int port) const {
  // The kernel caps the backlog at net.core.somaxconn.
  if (socket_ < 0 || !listensOn(socket_, port) || ::listen(socket_, SOMAXCONN) != 0) {
    throw std::runtime_error("orvane-site-standin: cannot raise the listen backlog on port " +
                             std::to_string(port));
  }
}

}  // namespace orvane::site::standin::detail
