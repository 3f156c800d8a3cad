#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace orvane::site {

/// The error object every failed call hands to its completion handler.
///
/// `domain` and `code` together tell the kind of failure apart:
/// - "OrvaneSite.ErrorType": the library's own kinds (see ErrorType), code 1 for an error reply
///   of the service.
/// - "OrvaneSite.DecodingError": a reply that does not decode (see DecodingErrorCode).
/// - "OrvaneSite.TransportError": an outcome of the exchange itself (see TransportErrorCode).
///
/// `userInfo` carries extra detail ("codingPath", "debugDescription", "statusCode", ...); it is
/// never needed to tell kinds apart. A plain value: copy it freely, from any thread.
struct Error {
  std::string domain;
  std::int64_t code = 0;
  std::string localizedDescription;
  std::map<std::string, std::string> userInfo;
};

}  // namespace orvane::site
