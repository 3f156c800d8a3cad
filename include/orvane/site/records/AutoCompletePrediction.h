#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"
#include "orvane/site/records/Word.h"

namespace orvane::site {

/// One completion that the service proposes for a partly typed query. A plain value.
///
/// In replies, "matchedKeywords" and "matchedWords" are required (absent or null fails the
/// decode); they may be empty lists.
struct ORVANE_SITE_EXPORT AutoCompletePrediction {
  /// "description": the display text of the prediction.
  std::optional<std::string> description;
  /// "matchedKeywords": the matched keywords, in the service's order.
  std::vector<Word> matchedKeywords;
  /// "matchedWords": the matched words, in the service's order.
  std::vector<Word> matchedWords;

  /// The JSON object with "description" (only when present), then "matchedKeywords" and
  /// "matchedWords" (always, also when empty). Needs <nlohmann/json.hpp> at the call site.
  nlohmann::json encode() const;

  /// Decodes the JSON text of one prediction object by the same strict rules as replies. On
  /// failure returns std::nullopt and, when `error` is given, stores the decoding Error there.
  /// Never throws; thread-safe.
  static std::optional<AutoCompletePrediction> decode(std::string_view json,
                                                      Error* error = nullptr);
};

}  // namespace orvane::site
