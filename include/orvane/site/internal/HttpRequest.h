#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/Export.h"

namespace orvane::site {

/// One HTTP request as a transport sends it.
///
/// The request manager fills it completely: `url` is absolute and already in its wire form
/// (nothing is escaped again), header names and values hold no line breaks, and
/// `timeoutSeconds` is finite and positive. A plain value, safe to copy across threads.
struct ORVANE_SITE_EXPORT HttpRequest {
  /// "GET", "POST", "PUT" or "DELETE".
  std::string method;
  /// Absolute URL, sent exactly as given.
  std::string url;
  /// Header fields in sending order, name then value.
  std::vector<std::pair<std::string, std::string>> headers;
  /// The request body; absent sends none.
  std::optional<std::string> body;
  /// Time-out of the whole exchange in seconds, connection set-up included.
  double timeoutSeconds = 60.0;
};

}  // namespace orvane::site
