#include "orvane/site/ErrorChecks.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "orvane/site/ErrorDomain.h"

namespace orvane::site {

namespace {

constexpr auto kLastTransportCode = static_cast<std::int64_t>(TransportErrorCode::libraryShutDown);

constexpr std::int64_t kApiErrorCode = 1;
constexpr long kTooManyRequests = 429;

}  // namespace

bool isApiError(const Error& error) noexcept {
  return error.domain == ErrorDomain::errorType && error.code == kApiErrorCode;
}

std::optional<std::string> apiReturnCode(const Error& error) {
  if (!isApiError(error)) return std::nullopt;
  const auto found = error.userInfo.find("returnCode");
  if (found == error.userInfo.end()) return std::nullopt;
  return found->second;
}

std::optional<TransportErrorCode> transportErrorCode(const Error& error) noexcept {
  if (error.domain != ErrorDomain::transportError) return std::nullopt;
  if (error.code < 0 || error.code > kLastTransportCode) return std::nullopt;
  return static_cast<TransportErrorCode>(error.code);
}

std::optional<DecodingErrorCode> decodingErrorCode(const Error& error) noexcept {
  if (error.domain != ErrorDomain::decodingError) return std::nullopt;
  if (error.code < static_cast<std::int64_t>(DecodingErrorCode::typeMismatch) ||
      error.code > static_cast<std::int64_t>(DecodingErrorCode::dataCorrupted)) {
    return std::nullopt;
  }
  return static_cast<DecodingErrorCode>(error.code);
}

std::optional<long> httpStatusCode(const Error& error) noexcept {
  const auto found = error.userInfo.find("statusCode");
  if (found == error.userInfo.end() || found->second.empty()) return std::nullopt;
  const char* text = found->second.c_str();
  char* end = nullptr;
  errno = 0;
  const long status = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || status <= 0) return std::nullopt;
  return status;
}

bool isRetryable(const Error& error) noexcept {
  if (const auto code = transportErrorCode(error)) {
    switch (*code) {
      case TransportErrorCode::connectionFailed:
      case TransportErrorCode::timedOut:
      case TransportErrorCode::serverErrorAfterRetries:
      case TransportErrorCode::deadlineExceeded:
      case TransportErrorCode::queueFull:
        return true;
      case TransportErrorCode::invalidUrl:
      case TransportErrorCode::invalidApiKey:
      case TransportErrorCode::invalidHeader:
      case TransportErrorCode::tlsFailure:
      case TransportErrorCode::bodyNotUtf8:
      case TransportErrorCode::errorReplyWithoutBody:
      case TransportErrorCode::incompleteErrorEnvelope:
      case TransportErrorCode::emptyReply:
      case TransportErrorCode::otherFailure:
      case TransportErrorCode::cancelled:
      case TransportErrorCode::calledOnLibraryThread:
      case TransportErrorCode::libraryShutDown:
        break;
    }
    return false;
  }
  if (isApiError(error)) return httpStatusCode(error) == kTooManyRequests;
  return false;
}

}  // namespace orvane::site
