#pragma once

#include <cstdint>

namespace orvane::site {

/// The codes of errors whose domain is "OrvaneSite.DecodingError": a reply that does not decode.
///
/// Every such Error also carries `userInfo["codingPath"]`, the path of keys from the reply's root
/// to the offending value, joined by "." with array positions as numbers (for example
/// "sites.3.poi.openingHours.periods.0.open.week"; empty when the reply as a whole is at fault),
/// and `userInfo["debugDescription"]`, a sentence that says what was wrong.
enum class DecodingErrorCode : std::int64_t {
  /// A value of the wrong JSON kind: a number where a text is expected, a string where a number
  /// is expected, a lone value where a list is expected, a reply that is not a JSON object.
  typeMismatch = 0,
  /// A value that must be there is JSON null: a required field (such as "lat" of a position or
  /// "matchedWords" of a prediction), an element of a list, or the whole reply.
  valueNotFound = 1,
  /// A required key is absent. The coding path ends with the missing key.
  keyNotFound = 2,
  /// The data is no valid JSON (empty, malformed, invalid UTF-8, invalid escape, trailing data,
  /// nested too deeply), or a number does not fit its field: an integer field given a number
  /// with a fraction part (3600.5) or one outside the signed 64-bit range. A whole number in any
  /// JSON form (3600, 3600.0, 3.6e3) is an integer and decodes.
  dataCorrupted = 3,
};

}  // namespace orvane::site
