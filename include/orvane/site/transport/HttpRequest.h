#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/Export.h"

namespace orvane::site {

class ConnectionPool;

/// One HTTP request as a transport sends it.
///
/// The request manager fills it completely: `url` is absolute and already in its wire form
/// (nothing is escaped again), header names and values hold no line breaks, and
/// `timeoutSeconds` is finite and positive. A plain value, safe to copy across threads.
struct ORVANE_SITE_EXPORT HttpRequest {
  /// "GET", "POST", "PUT" or "DELETE".
  std::string method;
  /// Absolute URL, sent exactly as given.
  std::string url;
  /// Header fields in sending order, name then value.
  std::vector<std::pair<std::string, std::string>> headers;
  /// The request body; absent sends none.
  std::optional<std::string> body;
  /// Time-out of the exchange in seconds, connection set-up included. It runs from the moment
  /// the transport starts the transfer, not from `send`: a request waiting for a free
  /// connection does not use it up.
  double timeoutSeconds = 60.0;
  /// The latest moment the exchange may end, or none. A transfer still waiting for a connection
  /// at that moment ends with a time-out without being sent; one that starts earlier gets at
  /// most the time that is left as its time-out.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  /// The connections the request draws on; null: the transport's own pool, shared by every
  /// request that names none.
  std::shared_ptr<const ConnectionPool> pool;
};

}  // namespace orvane::site
