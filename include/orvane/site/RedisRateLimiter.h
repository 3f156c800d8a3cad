#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "orvane/site/CallObserver.h"
#include "orvane/site/Export.h"
#include "orvane/site/RateLimiter.h"

namespace orvane::site {

/// A rate limiter shared by every process that names the same quota on the same Redis server:
/// together they stay within `permitsPerSecond` plus `burst`, whatever the number of processes
/// and machines.
///
/// Each permit is one server-side Lua script run (EVALSHA, EVAL when the server lost the
/// script) that reserves the next slot of a shared bucket (the generic cell rate algorithm) and
/// returns the wait for this permit. The server's clock decides, never the hosts' clocks. The
/// quota's key expires once the bucket is full again, so idle quotas leave nothing behind.
///
/// Redis is spoken to on a thread of the limiter's own; permits requested while a round trip is
/// under way travel together in the next pipelined batch. Neither `acquire` nor `slowDown` ever
/// waits for Redis.
///
/// When Redis fails (unreachable, slower than the request time-out, a script error), permits
/// come from a local bucket at the fallback rate until Redis answers again; the switch and the
/// return are each reported once through the observer's `onLimiterChange` and one log line.
/// No permit request is lost or fails because of Redis.
///
/// Thread-safe. Grants run on the limiter's own thread, or inside `acquire` while the limiter
/// decides locally; a grant must return quickly. Destroying the limiter grants every permit
/// still waiting for Redis from the local bucket and stops its thread; it may be destroyed
/// anywhere, a grant holding its last reference included.
class ORVANE_SITE_EXPORT RedisRateLimiter final : public RateLimiter {
 public:
  /// Where Redis is, which quota to share and how to behave without Redis.
  struct Options {
    /// Redis host name or address; ignored when `unixSocket` is set.
    std::string host = "127.0.0.1";
    /// Redis TCP port.
    int port = 6379;
    /// Path of Redis's Unix socket; when set, used instead of `host` and `port`.
    std::string unixSocket;
    /// ACL user name; empty for the default user. Used only with `password`.
    std::string user;
    /// Password (AUTH); empty when Redis asks for none. Never logged.
    std::string password;
    /// Redis logical database (SELECT); 0 by default.
    int database = 0;

    /// The quota's name: every limiter with the same name on the same Redis shares one bucket.
    /// Must not be empty.
    std::string quotaName;
    /// Prefix of the Redis key that holds the quota's bucket.
    std::string keyPrefix = "orvane-site:quota:";
    /// The shared rate; must be positive.
    double permitsPerSecond = 0.0;
    /// Permits that may be taken at once after a quiet time; at least 1.
    std::size_t burst = 1;

    /// This process's rate while Redis is unavailable, typically the quota divided by the
    /// expected number of processes; must be positive.
    double fallbackPermitsPerSecond = 0.0;
    /// Burst of the local bucket while Redis is unavailable; at least 1.
    std::size_t fallbackBurst = 1;

    /// Longest pause one `slowDown` puts on the shared quota, for every process sharing it (the
    /// pause key's time to live is capped with it); zero ignores every request to slow down.
    std::chrono::milliseconds longestSlowDown{RateLimiter::kDefaultLongestSlowDown};

    /// Longest wait for one reply of Redis (in a pipelined batch, for each next reply) before
    /// the limiter falls back.
    std::chrono::milliseconds requestTimeout{50};
    /// Longest wait to connect (and authenticate) to Redis.
    std::chrono::milliseconds connectTimeout{200};
    /// First pause before reconnecting after a failure; doubled after each failure.
    std::chrono::milliseconds reconnectBackoff{100};
    /// Longest pause between reconnection attempts.
    std::chrono::milliseconds reconnectBackoffMax{5000};

    /// Told when the limiter falls back to its local bucket and when it returns; may be null.
    std::shared_ptr<CallObserver> observer;
  };

  /// Starts the limiter's thread, which connects to Redis; permits requested before the first
  /// connection is made wait for it (about the connect time-out plus two request time-outs at
  /// most, and a host name's look-up, which has no time-out of its own: prefer an address or a
  /// Unix socket), then come from Redis or from the fallback.
  /// Throws std::invalid_argument when an option is out of range (empty quota name, a rate that
  /// is not positive, a zero burst, a time-out that is not positive, a port out of range).
  explicit RedisRateLimiter(Options options);

  /// Grants the permits still waiting from the local bucket and stops the limiter's thread.
  ~RedisRateLimiter() override;

  RedisRateLimiter(const RedisRateLimiter&) = delete;
  RedisRateLimiter& operator=(const RedisRateLimiter&) = delete;
  RedisRateLimiter(RedisRateLimiter&&) = delete;
  RedisRateLimiter& operator=(RedisRateLimiter&&) = delete;

  /// Takes one permit from the shared bucket (or the local one while Redis is unavailable) and
  /// calls `grant` exactly once with the wait, on the limiter's thread or inside this call.
  /// Never blocks. Thread-safe.
  void acquire(Grant grant) override;

  /// Pushes the shared bucket back so that no process's permit is usable before `pause` has
  /// passed, then lets permits come at the plain rate, without a burst. Also holds this process's
  /// permits back locally, at once. Never blocks. Thread-safe.
  void slowDown(std::chrono::nanoseconds pause) override;

  /// True while permits come from the local fallback bucket (Redis unavailable, or not yet
  /// reached, or this is a child process made by fork(), which leaves the limiter's connection
  /// to the parent). Thread-safe.
  bool usingFallback() const noexcept;

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace orvane::site
