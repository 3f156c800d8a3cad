#pragma once

#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"

namespace orvane::site {

/// Which place a detail search fetches: a site identifier (the `siteId` of a Site returned by
/// another operation), optionally with a language and a request for child places.
///
/// A plain value, copied into the call. Absent fields are left out of the request body.
struct ORVANE_SITE_EXPORT DetailSearchRequest {
  /// Takes every field, in order, with no defaults.
  DetailSearchRequest(std::string siteId, std::optional<std::string> language,
                      std::optional<bool> children)
      : siteId(std::move(siteId)), language(std::move(language)), children(children) {}

  /// "siteId" in the request body (always sent).
  std::string siteId;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
  /// "children" in the request body; std::nullopt leaves it out.
  std::optional<bool> children;
};

}  // namespace orvane::site
