#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// One matched piece of an autocomplete prediction: a position and a text, as the service
/// sends them. A plain value.
struct ORVANE_SITE_EXPORT Word {
  /// "offset": a whole number within the signed 64-bit range.
  std::optional<std::int64_t> offset;
  /// "value": a text.
  std::optional<std::string> value;

  /// The JSON object with "offset" and then "value", each only when present.
  /// Needs <nlohmann/json.hpp> at the call site.
  nlohmann::json encode() const;

  /// Decodes the JSON text of one word object by the same strict rules as replies. On failure
  /// returns std::nullopt and, when `error` is given, stores the decoding Error there. Never
  /// throws; thread-safe.
  static std::optional<Word> decode(std::string_view json, Error* error = nullptr);
};

}  // namespace orvane::site
