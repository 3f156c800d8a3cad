#pragma once

#include <chrono>
#include <functional>

#include "orvane/site/Export.h"

namespace orvane::site {

/// Decides when a request may be sent, so that the requests of one or many clients stay within a
/// rate (typically the service's queries-per-second quota of one API key).
///
/// A client asks for one permit before each attempt it sends, retries included, and sends the
/// attempt once the granted wait has passed (a timer: no thread sleeps). Several clients may share
/// one limiter. Implementations: TokenBucket (in this process), RedisRateLimiter (shared by many
/// processes). An application may write its own.
///
/// Contract for implementations: both members are thread-safe and never block (a limiter that
/// asks a server does so on a thread of its own); `acquire` calls `grant` exactly once, inside
/// the call or later on any thread; `grant` must return quickly, as it may run on the library
/// thread. A call cancelled while it waits for its grant simply ignores the grant.
class ORVANE_SITE_EXPORT RateLimiter {
 public:
  /// Receives how long from now the permit may be used; zero or negative means at once.
  using Grant = std::function<void(std::chrono::nanoseconds wait)>;

  virtual ~RateLimiter() = default;

  /// Takes one permit and tells through `grant` when it may be used.
  virtual void acquire(Grant grant) = 0;

  /// The longest pause a limiter of this library takes from one `slowDown`, however long the
  /// service (or a proxy, or a hostile server) asked for: one reply must never hold a fleet back
  /// for a day.
  static constexpr std::chrono::seconds kDefaultLongestSlowDown{60};

  /// The service asked its callers to slow down (a 429 or 503 reply, with its Retry-After when
  /// honoured): permits granted from now on are not usable before `pause` has passed.
  /// Implementations cap the pause (the library's own at `kDefaultLongestSlowDown` unless set).
  virtual void slowDown(std::chrono::nanoseconds pause) = 0;
};

}  // namespace orvane::site
