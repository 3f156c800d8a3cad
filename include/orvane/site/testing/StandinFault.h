#pragma once

#include <chrono>
#include <string>

#include "orvane/site/Export.h"
#include "orvane/site/testing/FormerNamespace.h"

namespace orvane::site::testkit {

/// One fault that the stand-in injects into the requests made with a key from
/// Standin::apiKeyWithFaults(). Each factory names what the stand-in then does; `text()` is the
/// stand-in's own spelling ("5xx-3-503", "delay-200", ...). A plain value, usable from any
/// thread.
class ORVANE_SITE_EXPORT StandinFault {
 public:
  /// The first `count` requests made with the key get HTTP status `status` (500 to 599) and an
  /// error envelope; later ones are answered normally. The library retries such statuses, so
  /// this tests its retries: `count` above the retry count ends the call with
  /// TransportErrorCode::serverErrorAfterRetries.
  static StandinFault serverErrors(int count, int status = 503);
  /// Waits `delay` (0 to 60 s) before answering: for time-outs and deadlines.
  static StandinFault delay(std::chrono::milliseconds delay);
  /// An error envelope with HTTP status `status` (200 to 599) and the service return code
  /// `returnCode` (digits; empty: "010" followed by the status). A status below 500 reaches the
  /// handler as an apiError carrying that return code.
  static StandinFault errorReply(int status, const std::string& returnCode = std::string());
  /// Status `status` with an envelope lacking "returnCode" (TransportErrorCode::
  /// incompleteErrorEnvelope for statuses other than 200 and below 500).
  static StandinFault missingReturnCode(int status = 400);
  /// Status `status` with an empty body (TransportErrorCode::errorReplyWithoutBody for a status
  /// other than 200 and below 500; a decoding error for 200).
  static StandinFault emptyBody(int status = 404);
  /// Status 200 with an HTML body: a reply that does not decode.
  static StandinFault notJson();
  /// Status 200 with a body that is not UTF-8 (TransportErrorCode::bodyNotUtf8).
  static StandinFault notUtf8();
  /// Status 200 with the normal reply cut in half: a reply that does not decode.
  static StandinFault truncatedBody();
  /// Half of the announced reply sent, then the connection closes
  /// (TransportErrorCode::connectionFailed).
  static StandinFault cutConnection();
  /// The connection closed without any reply (TransportErrorCode::connectionFailed).
  static StandinFault dropConnection();

  /// The fault as the stand-in spells it.
  const std::string& text() const noexcept { return text_; }

 private:
  explicit StandinFault(std::string text);
  std::string text_;
};

}  // namespace orvane::site::testkit
