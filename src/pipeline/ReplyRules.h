#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Error.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/transport/HttpOutcome.h"

namespace orvane::site::internal {

/// What the outcome of one exchange says before any retry is decided: the one place where a
/// transport failure or an HTTP status becomes an Error, for every kind of call.
struct ReplyVerdict {
  enum class Kind {
    /// A 200 reply; its body is the response.
    success,
    /// No usable reply: a transport failure, or a reply without a status.
    noReply,
    /// A reply whose body is not UTF-8, whatever its status.
    notUtf8,
    /// A status of 500 or more.
    serverError,
    /// A 429, its body read as the service's error envelope.
    tooManyRequests,
    /// Any other status, its body read as the service's error envelope.
    errorReply,
  };
  Kind kind = Kind::success;
  /// The Error the call ends with if it ends here; empty for a success.
  std::optional<Error> error;
  /// For `noReply`: the transport's reason (connectionFailed, timedOut, ...).
  TransportErrorCode failure = TransportErrorCode::otherFailure;
  /// For `errorReply` and `tooManyRequests`: the body was no envelope of the service.
  bool notAnEnvelope = false;
};

/// Whether a 200 body's UTF-8 is checked here, or left to the decoder that reads it anyway.
enum class SuccessBody { checked, leftToDecoder };

/// Classifies `outcome`. Each of `secrets` (the API key in every form it may come back in) is
/// masked in the texts the Error carries, and so are credentials in any address they quote.
ReplyVerdict classifyReply(const HttpOutcome& outcome, const std::vector<std::string>& secrets,
                           SuccessBody success);

/// The pause a reply asks its callers for: its Retry-After, on a 429 or a 503 only (the header
/// means nothing on any other reply).
std::optional<std::chrono::nanoseconds> askedPause(const HttpOutcome& outcome);

/// The transport error code of an exchange that brought no usable reply.
TransportErrorCode transportCodeOf(HttpOutcome::Failure failure) noexcept;

/// The Error of a reply whose status is neither 200 nor a server error: an empty body gives
/// TransportErrorCode::errorReplyWithoutBody; a reply envelope with "returnCode" and
/// "returnDesc" the ErrorType::apiError (code and text also in userInfo); an envelope lacking
/// either TransportErrorCode::incompleteErrorEnvelope; a body that is no envelope its decoding
/// Error, and `notAnEnvelope` is set. `userInfo["statusCode"]` holds the status in every case.
Error errorOfReply(long statusCode, const std::string& body, bool& notAnEnvelope,
                   const std::vector<std::string>& secrets);

}  // namespace orvane::site::internal
