#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// Told of every call of the clients it is given to (ClientOptions::setObserver): when a call
/// starts, when each of its attempts ends and when the call ends; also of a rate limiter changing
/// how it decides (for example a shared limiter falling back to a local bucket).
///
/// Events never hold the API key. The views they carry are valid only during the notification.
/// Notifications may come from any thread, the library thread included, possibly several at
/// once: an observer must be thread-safe and cheap. An exception it throws is caught and dropped.
class ORVANE_SITE_EXPORT CallObserver {
 public:
  /// A call was accepted.
  struct CallStart {
    /// The operation's name: "textSearch", "nearbySearch", "detailSearch", "querySuggestion",
    /// "queryAutocomplete", "geocode", "reverseGeocode" or "timezone".
    std::string_view operation;
    /// Tells the calls of one process apart; the same in every event of one call.
    std::uint64_t callId = 0;
  };

  /// One attempt (one HTTP exchange) ended.
  struct Attempt {
    /// The operation's name, for example "textSearch".
    std::string_view operation;
    /// Identifies the call within the process; attempts of one call share it.
    std::uint64_t callId = 0;
    /// 1 for the first attempt, 2 for the first retry, ...
    int attempt = 1;
    /// The HTTP status; 0 when no reply arrived.
    long statusCode = 0;
    /// Why no usable reply arrived (a TransportErrorCode as a number: connection, time-out, TLS,
    /// cancelled, ...); empty when a reply arrived, whatever its status.
    std::optional<std::int64_t> failure;
    /// From the moment the request was handed to the transport to its end.
    std::chrono::nanoseconds duration{0};
    /// Bytes of the request sent in this attempt.
    std::size_t bytesSent = 0;
    /// Bytes of the reply received in this attempt.
    std::size_t bytesReceived = 0;
    /// Time spent waiting for a slot (the client's in-flight bound, the transport's connection
    /// admission) before this attempt went out.
    std::chrono::nanoseconds queueWait{0};
    /// Time spent waiting for the rate limiter's permit before this attempt went out.
    std::chrono::nanoseconds limiterWait{0};
    /// The HTTP version the attempt used, "HTTP/1.1" or "HTTP/2"; empty when the transport does
    /// not say or nothing was exchanged (a cancelled attempt).
    std::string_view protocol{};
  };

  /// A call ended: its handler is about to be called.
  struct CallEnd {
    /// The operation's name, for example "textSearch".
    std::string_view operation;
    /// Identifies the call within the process, as in its attempts.
    std::uint64_t callId = 0;
    /// Null when the call succeeded; else the Error its handler receives.
    const Error* error = nullptr;
    /// Attempts sent.
    int attempts = 0;
    /// From the call's start to its end.
    std::chrono::nanoseconds duration{0};
  };

  /// A rate limiter changed how it decides.
  struct LimiterChange {
    /// Names the limiter, for example the quota name of a shared limiter.
    std::string_view limiter;
    /// True when it now decides alone (a local fallback), false when it is back to its normal way.
    bool fallback = false;
    /// Why, in a few words.
    std::string_view reason;
  };

  /// A call met the client's response cache (ClientOptions::setResponseCache).
  struct CacheEvent {
    /// What happened.
    enum class Kind {
      hit,        ///< answered from a kept reply, without a request
      miss,       ///< nothing kept and nothing under way: the call sends a request
      coalesced,  ///< joined an identical call under way, sharing its request
      eviction,   ///< an entry of this operation was dropped to make room
    };
    /// The operation's name, for example "timezone".
    std::string_view operation;
    /// What happened.
    Kind kind = Kind::miss;
  };

  virtual ~CallObserver() = default;

  /// A call was accepted. Default: does nothing.
  virtual void onCallStart(const CallStart& event);
  /// One attempt of a call ended. Default: does nothing.
  virtual void onAttempt(const Attempt& event);
  /// A call ended, just before its handler runs. Default: does nothing.
  virtual void onCallEnd(const CallEnd& event);
  /// A rate limiter changed how it decides (LimiterChange). Default: does nothing.
  virtual void onLimiterChange(const LimiterChange& event);
  /// A call met the response cache (CacheEvent). Default: does nothing.
  virtual void onCacheEvent(const CacheEvent& event);
};

}  // namespace orvane::site
