#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvane/site/Error.h"

namespace orvane::site {

/// The codes of errors whose domain is "OrvaneSite.TransportError": outcomes of a call that are
/// not an answer of the service (or not a usable one).
///
/// Every such Error has one of these codes, the description listed with it as
/// `localizedDescription` (passed through the installed LocalizedStringLookup, see
/// Localization.h), `userInfo["statusCode"]` with the HTTP status in decimal when one is known,
/// and `userInfo["detail"]` with a short account of what happened when there is more to say.
/// Neither ever holds the API key.
enum class TransportErrorCode : std::int64_t {
  /// "Invalid URL": no address could be formed. The host is empty or not a valid host name,
  /// IP address or host:port; the full URL given instead is not an "https" URL; or a query
  /// parameter other than "key" cannot stand in a URL query as given. Nothing was sent.
  invalidUrl = 0,
  /// "Invalid API key": the API key cannot be sent as given. It holds a character that a URL
  /// query may not hold (a space, '#', a control or non-ASCII character, a '%' not followed
  /// by two hexadecimal digits) or one that would add or change another query parameter ('&',
  /// '='). Keys of letters, digits, "-", "_", ".", "~", "+" and valid percent escapes are sent
  /// as given. Nothing was sent; `detail` names the position, not the key.
  invalidApiKey = 1,
  /// "Invalid header field": a header name that is not an HTTP token, or a value holding a
  /// line break or NUL. Nothing was sent.
  invalidHeader = 2,
  /// "Connection failed": no HTTP reply, because no connection could be made or kept (refused,
  /// reset, unreachable, name not resolved, proxy failure, connection closed early).
  connectionFailed = 3,
  /// "Request timed out": no complete reply within the call's time-out.
  timedOut = 4,
  /// "Secure connection failed": the TLS handshake failed, for example because the server's
  /// certificate is not trusted or does not name the host.
  tlsFailure = 5,
  /// "Reply body is not UTF-8": a reply (of any status) whose body is not valid UTF-8. Not
  /// retried.
  bodyNotUtf8 = 6,
  /// "Server error": the service answered with a status of 500 or more and no retry is left
  /// (or the next retry pause cannot be waited, see SiteRequestManager).
  serverErrorAfterRetries = 7,
  /// "Error reply without body": a status other than 200 and below 500 with an empty body.
  errorReplyWithoutBody = 8,
  /// "Incomplete error reply": a status other than 200 and below 500 whose body is a reply
  /// envelope lacking "returnCode" or "returnDesc". `userInfo` holds whichever of the two is
  /// present under "returnCode" / "returnDesc".
  incompleteErrorEnvelope = 9,
  /// "Empty reply": the exchange ended with neither data nor an error. Used by the request
  /// client framework; the request manager itself never hands on such an outcome.
  emptyReply = 10,
  /// "Transport failure": any other failure of the exchange (a reply larger than the
  /// transport accepts, a request manager started twice, a transport that could not start).
  otherFailure = 11,
  /// "Call cancelled": the call was cancelled (Call::cancel, the destruction of its SiteClient,
  /// or shutdown()) before its result was delivered. Whatever was under way was stopped.
  cancelled = 12,
  /// "Deadline exceeded": the call's deadline (ClientOptions::setDeadline,
  /// CallOptions::setDeadline) passed before a result arrived. The deadline covers waiting in
  /// queues, every attempt and every pause between attempts.
  deadlineExceeded = 13,
  /// "Too many queued calls": the client already holds as many waiting calls as
  /// ClientOptions::setMaxQueuedCalls allows. Nothing was sent.
  queueFull = 14,
  /// "Called on the library thread": Call::get() was called on the library thread (or inside a
  /// handler of the library) for a call not yet finished; waiting there could never end.
  calledOnLibraryThread = 15,
  /// "Library shut down": the call was made after orvane::site::shutdown(). Nothing was sent.
  libraryShutDown = 16,
};

/// The untranslated description of `code`, for example "Connection failed".
const char* transportErrorDescription(TransportErrorCode code) noexcept;

/// Makes the Error of `code`: domain "OrvaneSite.TransportError", the code's number, its
/// translated description, and `userInfo["statusCode"]` / `userInfo["detail"]` when given
/// (a status of 0 or less counts as none, an empty detail as none).
Error makeTransportError(TransportErrorCode code, std::optional<long> statusCode = std::nullopt,
                         const std::string& detail = std::string());

}  // namespace orvane::site
