#pragma once

#include <optional>
#include <string>
#include <utility>

namespace orvane::site {

/// Which place a detail search fetches: a site identifier (the `siteId` of a Site returned by
/// another operation), optionally with a language and a request for child places.
///
/// A plain value, copied into the call. Absent fields are left out of the request body.
struct DetailSearchRequest {
  DetailSearchRequest(std::string siteId, std::optional<std::string> language,
                      std::optional<bool> children)
      : siteId(std::move(siteId)), language(std::move(language)), children(children) {}

  std::string siteId;
  std::optional<std::string> language;
  std::optional<bool> children;
};

}  // namespace orvane::site
