#include "orvane/site/TransportErrorCode.h"

#include "orvane/site/Localization.h"

namespace orvane::site {

const char* transportErrorDescription(TransportErrorCode code) noexcept {
  switch (code) {
    case TransportErrorCode::invalidUrl:
      return "Invalid URL";
    case TransportErrorCode::invalidApiKey:
      return "Invalid API key";
    case TransportErrorCode::invalidHeader:
      return "Invalid header field";
    case TransportErrorCode::connectionFailed:
      return "Connection failed";
    case TransportErrorCode::timedOut:
      return "Request timed out";
    case TransportErrorCode::tlsFailure:
      return "Secure connection failed";
    case TransportErrorCode::bodyNotUtf8:
      return "Reply body is not UTF-8";
    case TransportErrorCode::serverErrorAfterRetries:
      return "Server error";
    case TransportErrorCode::errorReplyWithoutBody:
      return "Error reply without body";
    case TransportErrorCode::incompleteErrorEnvelope:
      return "Incomplete error reply";
    case TransportErrorCode::emptyReply:
      return "Empty reply";
    case TransportErrorCode::cancelled:
      return "Call cancelled";
    case TransportErrorCode::deadlineExceeded:
      return "Deadline exceeded";
    case TransportErrorCode::queueFull:
      return "Too many queued calls";
    case TransportErrorCode::calledOnLibraryThread:
      return "Called on the library thread";
    case TransportErrorCode::libraryShutDown:
      return "Library shut down";
    case TransportErrorCode::otherFailure:
      break;
  }
  return "Transport failure";
}

Error makeTransportError(TransportErrorCode code, std::optional<long> statusCode,
                         const std::string& detail) {
  Error error;
  error.domain = "OrvaneSite.TransportError";
  error.code = static_cast<std::int64_t>(code);
  error.localizedDescription = localizedString(transportErrorDescription(code), std::string());
  if (statusCode && *statusCode > 0) error.userInfo["statusCode"] = std::to_string(*statusCode);
  if (!detail.empty()) error.userInfo["detail"] = detail;
  return error;
}

}  // namespace orvane::site
