#pragma once

#include "orvane/site/Export.h"
#include "orvane/site/transport/ConnectionLimits.h"

namespace orvane::site {

/// A share of connections that requests draw on (HttpRequest::pool): at most `limits()` of its
/// requests run at once; the others wait in arrival order. Where the requests of several pools
/// wait for the same transport's connections, a free one goes to the pool with the fewest
/// requests running, so a pool with hundreds of requests queued delays no other pool's first.
///
/// Each option client draws on a pool of its own unless ClientOptions::setConnectionPool gives
/// it one; clients given the same pool share it. Immutable and thread-safe.
class ORVANE_SITE_EXPORT ConnectionPool {
 public:
  /// Throws std::invalid_argument when a limit is not positive.
  explicit ConnectionPool(ConnectionLimits limits = ConnectionLimits());

  /// The limits given to the constructor.
  const ConnectionLimits& limits() const noexcept { return limits_; }

 private:
  ConnectionLimits limits_;
};

}  // namespace orvane::site
