#pragma once

#include <httplib.h>

namespace orvane::site::standin::detail {

/// Gives a cpp-httplib server a listen backlog fit for bursts of connections.
///
/// The compiled cpp-httplib library listens with a backlog of 5 (CPPHTTPLIB_LISTEN_BACKLOG is
/// fixed when the library is built, so defining it here changes nothing). A burst of connects,
/// such as a load test or a benchmark opening dozens of connections at once, overflows that
/// queue and some connects are reset. Linux lets listen() be called again on a listening socket
/// to change its backlog; the server keeps its socket private, so its socket-options hook notes
/// the descriptor and raise() listens again on it once the server is bound.
///
/// Not thread-safe: use it from the thread that configures and binds the server.
class ListenBacklog {
 public:
  /// Socket options to give the server: SO_REUSEADDR (never SO_REUSEPORT), and the socket
  /// noted.
  httplib::SocketOptions socketOptions();

  /// After the server bound 127.0.0.1:`port`: listens again on its socket with the largest
  /// backlog the system allows. Throws std::runtime_error when the noted socket is not the one
  /// listening on `port`.
  void raise(int port) const;

 private:
  int socket_ = -1;
};

}  // namespace orvane::site::standin::detail
