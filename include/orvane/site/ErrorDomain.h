#pragma once

#include <string_view>

namespace orvane::site {

/// The three values of Error::domain. Compare an error's domain with these rather than with
/// copied strings:
/// \code
/// if (error->domain == orvane::site::ErrorDomain::transportError) { ... }
/// \endcode
/// Plain constants, usable from any thread.
struct ErrorDomain {
  /// "OrvaneSite.ErrorType": the library's own kinds (ErrorType); code 1 (apiError) is an error
  /// reply of the service, with "returnCode", "returnDesc" and "statusCode" in userInfo.
  static constexpr std::string_view errorType = "OrvaneSite.ErrorType";
  /// "OrvaneSite.DecodingError": a reply that does not decode; the code is a DecodingErrorCode.
  static constexpr std::string_view decodingError = "OrvaneSite.DecodingError";
  /// "OrvaneSite.TransportError": no usable reply; the code is a TransportErrorCode.
  static constexpr std::string_view transportError = "OrvaneSite.TransportError";
};

}  // namespace orvane::site
