#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// What came back from one request: an HTTP reply, or the reason why there was none.
///
/// A plain value, safe to copy across threads.
struct ORVANE_SITE_EXPORT HttpOutcome {
  /// Why no complete HTTP reply arrived.
  enum class Failure {
    /// A complete reply arrived: `statusCode` and `body` hold it.
    none,
    /// No connection could be made or kept: refused, reset, unreachable, name not resolved,
    /// proxy failure, or the peer closed the connection before the reply was complete.
    connectionFailed,
    /// The exchange did not finish within the request's time-out.
    timedOut,
    /// The TLS handshake failed: an untrusted or mismatching certificate, or no common protocol.
    tlsFailure,
    /// Any other failure (for example a reply larger than the transport accepts).
    otherFailure,
  };

  /// Why no reply came; Failure::none when one did.
  Failure failure = Failure::none;
  /// The HTTP status; 0 when no status line arrived. It can be set together with a failure
  /// that happened after the status line (for example a time-out while the body arrives).
  long statusCode = 0;
  /// The reply body as received, possibly empty. Meaningful only when `failure` is `none`.
  std::string body;
  /// A short human-readable account of a failure, for Error::userInfo["detail"]. A transport
  /// never puts the request URL in it.
  std::string failureDetail;
  /// The pause a reply's Retry-After header asks for (in seconds, or an HTTP date turned into
  /// the time from now); absent when the reply had none or it could not be read.
  std::optional<std::chrono::seconds> retryAfter;
  /// How long the request waited inside the transport (for a free connection) before it was
  /// sent; zero for a transport that sends at once.
  std::chrono::nanoseconds queueWait{0};
  /// The HTTP version the exchange used, "HTTP/1.1" or "HTTP/2" (static text, safe to keep);
  /// empty when the transport does not say or nothing was exchanged.
  std::string_view protocol{};
};

}  // namespace orvane::site
