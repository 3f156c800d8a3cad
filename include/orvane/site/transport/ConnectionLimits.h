#pragma once

#include "orvane/site/Export.h"

namespace orvane::site {

/// How many connections may be in use at once: to one host ("host:port") and to all hosts
/// together. A request beyond them waits for one to be free (its deadline still holds).
///
/// The limits count requests in flight, whatever carries them: over HTTP/1.1 each is one
/// connection, over HTTP/2 each is one stream, and the streams to one host share a connection
/// (more only where the server's stream limit is reached). So `perHost` bounds the concurrent
/// calls to a host under either protocol. Keep `perHost` within the server's stream limit
/// (100 for many servers, nghttpx among them): beyond it libcurl 7.88 opens one more connection
/// for each request over the limit instead of filling a second one.
struct ORVANE_SITE_EXPORT ConnectionLimits {
  /// Connections in use to one host at once.
  long perHost = 32;
  /// Connections in use to all hosts together.
  long inAll = 128;
};

}  // namespace orvane::site
