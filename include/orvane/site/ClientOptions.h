#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "orvane/site/CallObserver.h"
#include "orvane/site/Executor.h"
#include "orvane/site/Export.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/RetryPolicy.h"

namespace orvane::site {

class ConnectionPool;
class HttpTransport;
class ResponseCache;

/// Everything a SiteClient made with options uses, and nothing else: a copyable value with
/// chaining setters.
///
/// \code
/// orvane::site::ClientOptions options;
/// options.setApiKey("KEY").setAttemptTimeout(5s).setDeadline(20s);
/// orvane::site::SiteClient client(options);
/// \endcode
///
/// Values are checked when a call uses them: an empty key, a host that is not a host name, IP
/// address or host:port, or a time-out or deadline that is not positive fails that call (its
/// handler gets the Error), never the program. A copy is independent of the original.
class ORVANE_SITE_EXPORT ClientOptions {
 public:
  /// Default values: no key, host ClientConfig::BaseUrl, the defaults named below.
  ClientOptions();

  /// The API key sent with every call of the client. Required.
  ClientOptions& setApiKey(std::string value);
  /// The value given to setApiKey().
  const std::string& apiKey() const noexcept { return apiKey_; }

  /// The service's host, optionally with a port ("127.0.0.1:8443"); always reached over
  /// https. Default: ClientConfig::BaseUrl.
  ClientOptions& setHost(std::string value);
  /// The value given to setHost().
  const std::string& host() const noexcept { return host_; }

  /// The time-out of each attempt, from the moment its transfer starts. Default 10 s.
  ClientOptions& setAttemptTimeout(std::chrono::nanoseconds value);
  /// The value given to setAttemptTimeout().
  std::chrono::nanoseconds attemptTimeout() const noexcept { return attemptTimeout_; }

  /// The time a whole call may take: queueing, every attempt and every pause. Default 30 s.
  ClientOptions& setDeadline(std::chrono::nanoseconds value);
  /// The value given to setDeadline().
  std::chrono::nanoseconds deadline() const noexcept { return deadline_; }

  /// When calls try again. Default: RetryPolicy().
  ClientOptions& setRetryPolicy(RetryPolicy value);
  /// The value given to setRetryPolicy().
  const RetryPolicy& retryPolicy() const noexcept { return retryPolicy_; }

  /// The HTTP stack; null (the default) means a CurlTransport with default options, shared by
  /// the option clients of the process.
  ClientOptions& setTransport(std::shared_ptr<HttpTransport> value);
  /// The value given to setTransport().
  const std::shared_ptr<HttpTransport>& transport() const noexcept { return transport_; }

  /// The connections the client's calls draw on; null (the default) means a pool of the
  /// client's own with ConnectionLimits() (32 per host, 128 in all), so that no other client's
  /// calls take its connections. Clients given the same pool share it.
  ClientOptions& setConnectionPool(std::shared_ptr<const ConnectionPool> value);
  /// The value given to setConnectionPool().
  const std::shared_ptr<const ConnectionPool>& connectionPool() const noexcept {
    return connectionPool_;
  }

  /// The most calls of the client under way at once; further calls wait in order (the wait
  /// counts towards their deadline). 0 (the default) means no bound of the client's own.
  ClientOptions& setMaxInFlight(std::size_t value);
  /// The value given to setMaxInFlight().
  std::size_t maxInFlight() const noexcept { return maxInFlight_; }

  /// The most calls that may wait for one of the `maxInFlight` places; a call beyond it fails
  /// at once with TransportErrorCode::queueFull. Default 10,000.
  ClientOptions& setMaxQueuedCalls(std::size_t value);
  /// The value given to setMaxQueuedCalls().
  std::size_t maxQueuedCalls() const noexcept { return maxQueuedCalls_; }

  /// Asked for a permit before each attempt; null (the default) means no limit. May be shared
  /// by several clients.
  ClientOptions& setRateLimiter(std::shared_ptr<RateLimiter> value);
  /// The value given to setRateLimiter().
  const std::shared_ptr<RateLimiter>& rateLimiter() const noexcept { return rateLimiter_; }

  /// Where handlers run; empty (the default) means the library thread.
  ClientOptions& setHandlerExecutor(Executor value);
  /// The value given to setHandlerExecutor().
  const Executor& handlerExecutor() const noexcept { return handlerExecutor_; }

  /// Runs handlers on a pool of this many threads owned by the client, so that a slow handler
  /// delays neither the library thread nor other calls; used only when no handler executor is
  /// set. 0 (the default) means none. The pool starts with the client (the SiteClient constructor
  /// throws std::system_error when a thread cannot be started) and ends after the client's last
  /// handler has run; shutdown() waits for the handlers already handed to it.
  ClientOptions& setHandlerThreads(std::size_t value);
  /// The value given to setHandlerThreads().
  std::size_t handlerThreads() const noexcept { return handlerThreads_; }

  /// Answers repeated calls from decoded replies kept for their lifetime, and lets identical
  /// calls under way share one request; null (the default) means every call sends its own.
  /// May be shared by several clients (entries of different keys or hosts stay apart).
  ClientOptions& setResponseCache(std::shared_ptr<ResponseCache> value);
  /// The value given to setResponseCache().
  const std::shared_ptr<ResponseCache>& responseCache() const noexcept { return responseCache_; }

  /// Told of each call's start, attempts and end; null (the default) means none.
  ClientOptions& setObserver(std::shared_ptr<CallObserver> value);
  /// The value given to setObserver().
  const std::shared_ptr<CallObserver>& observer() const noexcept { return observer_; }

 private:
  std::string apiKey_;
  std::string host_;
  std::chrono::nanoseconds attemptTimeout_ = std::chrono::seconds(10);
  std::chrono::nanoseconds deadline_ = std::chrono::seconds(30);
  RetryPolicy retryPolicy_;
  std::shared_ptr<HttpTransport> transport_;
  std::shared_ptr<const ConnectionPool> connectionPool_;
  std::size_t maxInFlight_ = 0;
  std::size_t maxQueuedCalls_ = 10000;
  std::shared_ptr<RateLimiter> rateLimiter_;
  Executor handlerExecutor_;
  std::size_t handlerThreads_ = 0;
  std::shared_ptr<CallObserver> observer_;
  std::shared_ptr<ResponseCache> responseCache_;
};

}  // namespace orvane::site
