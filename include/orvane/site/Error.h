#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "orvane/site/Export.h"

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
struct ORVANE_SITE_EXPORT Error {
  /// Which family of errors: "OrvaneSite.ErrorType", "OrvaneSite.DecodingError" or
  /// "OrvaneSite.TransportError" (see ErrorDomain).
  std::string domain;
  /// The kind within the domain (ErrorType::Kind, DecodingErrorCode or TransportErrorCode).
  std::int64_t code = 0;
  /// A sentence for people, translated through the installed LocalizedStringLookup.
  std::string localizedDescription;
  /// Extra detail by name; never holds the API key.
  std::map<std::string, std::string> userInfo;
};

}  // namespace orvane::site
