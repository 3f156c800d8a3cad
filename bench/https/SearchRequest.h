#pragma once

#include <cstdint>
#include <optional>

#include "orvane/site/requests/TextSearchRequest.h"

namespace orvane::site::bench {

/// The calls of the HTTPS benchmark: a text search that the stand-in (whose places are the
/// cities of the time-zone table) answers with a page of `pageSize` sites. One site keeps the
/// stand-in's work small, so the clients' costs show; twenty is a realistic page.
inline TextSearchRequest standinSearchRequest(std::int64_t pageSize) {
  return TextSearchRequest("America", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           std::nullopt, "en", pageSize, 1, std::nullopt);
}

}  // namespace orvane::site::bench
