#include "ErrorClass.h"

#include "RetryPlan.h"

#include <orvane/site/ErrorChecks.h>
#include <orvane/site/TransportErrorCode.h>

namespace orvane::site::cli::batch {
namespace {

// The service's code for a missing or unknown API key.
constexpr const char* kKeyRefused = "010001";

std::string infoOf(const Error& error, const std::string& name) {
  const auto found = error.userInfo.find(name);
  return found == error.userInfo.end() ? std::string() : found->second;
}

std::string describe(const Error& error) {
  std::string text =
      error.domain + " " + std::to_string(error.code) + ": " + error.localizedDescription;
  const std::string returnCode = infoOf(error, "returnCode");
  if (!returnCode.empty()) text += " (" + returnCode + " " + infoOf(error, "returnDesc") + ")";
  const std::string detail = infoOf(error, "detail");
  if (!detail.empty()) text += ": " + detail;
  const std::string path = infoOf(error, "codingPath");
  if (!path.empty()) text += " at " + path;
  return text;
}

}  // namespace

RowOutcome outcomeOfError(const Error& error) {
  RowOutcome outcome;
  outcome.error = describe(error);
  outcome.mayPassLater = isRetryable(error);
  outcome.refusalIsFinal =
      isApiError(error) && !outcome.mayPassLater && httpStatusCode(error).value_or(200) < 500;
  if (error.domain == "OrvaneSite.ErrorType") {
    outcome.failure = FailureKind::refused;
    outcome.fatal = infoOf(error, "returnCode") == kKeyRefused;
  } else if (error.domain == "OrvaneSite.DecodingError") {
    outcome.failure = FailureKind::decoding;
  } else {
    outcome.failure = FailureKind::transport;
    if (error.domain == "OrvaneSite.TransportError") {
      const auto code = static_cast<TransportErrorCode>(error.code);
      outcome.fatal =
          code == TransportErrorCode::invalidUrl || code == TransportErrorCode::invalidApiKey;
      outcome.unreachable =
          code == TransportErrorCode::connectionFailed || code == TransportErrorCode::tlsFailure;
    }
  }
  return outcome;
}

const char* statusOf(const RowOutcome& outcome) {
  if (outcome.failure == FailureKind::none) {
    return outcome.records.empty() ? "not-found" : "found";
  }
  return outcome.mayPassLater ? kRetryLaterStatus : "failed";
}

const char* failureName(FailureKind kind) {
  switch (kind) {
    case FailureKind::none:
      return "none";
    case FailureKind::badRow:
      return "bad row";
    case FailureKind::refused:
      return "refused";
    case FailureKind::transport:
      return "transport";
    case FailureKind::decoding:
      return "decoding";
  }
  return "unknown";
}

}  // namespace orvane::site::cli::batch
