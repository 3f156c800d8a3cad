#pragma once

#include <optional>
#include <string>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/Error.h"
#include "orvane/site/Export.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site {

/// True when the service answered with an error reply: domain ErrorDomain::errorType, code 1
/// (apiError). apiReturnCode() then tells which.
ORVANE_SITE_EXPORT bool isApiError(const Error& error) noexcept;

/// The service's "returnCode" of an apiError (compare it with ServiceReturnCode), or nullopt
/// for any other error.
ORVANE_SITE_EXPORT std::optional<std::string> apiReturnCode(const Error& error);

/// The error's TransportErrorCode when its domain is ErrorDomain::transportError, else nullopt.
ORVANE_SITE_EXPORT std::optional<TransportErrorCode> transportErrorCode(
    const Error& error) noexcept;

/// The error's DecodingErrorCode when its domain is ErrorDomain::decodingError, else nullopt.
ORVANE_SITE_EXPORT std::optional<DecodingErrorCode> decodingErrorCode(const Error& error) noexcept;

/// The HTTP status in `userInfo["statusCode"]`, or nullopt when no status is known.
ORVANE_SITE_EXPORT std::optional<long> httpStatusCode(const Error& error) noexcept;

/// True when the same call may succeed if made again later, unchanged: the connection failed or
/// timed out, the service kept answering with server errors, the call's deadline passed, the
/// admission queue was full, or the service refused with status 429. False for everything that
/// needs a change first (a rejected key, a malformed request, a reply that does not decode, an
/// untrusted certificate, a cancelled call, a library shut down) and for unknown domains or
/// codes. The library has already retried server errors as its retry settings say; this tells an
/// application whether trying again later is worthwhile.
ORVANE_SITE_EXPORT bool isRetryable(const Error& error) noexcept;

}  // namespace orvane::site
