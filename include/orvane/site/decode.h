#pragma once

#include <string_view>

#include "orvane/site/Export.h"
#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"
#include "orvane/site/responses/DetailSearchResponse.h"
#include "orvane/site/responses/GeocodeResponse.h"
#include "orvane/site/responses/NearbySearchResponse.h"
#include "orvane/site/responses/QueryAutocompleteResponse.h"
#include "orvane/site/responses/QuerySuggestionResponse.h"
#include "orvane/site/responses/ReverseGeocodeResponse.h"
#include "orvane/site/responses/TextSearchResponse.h"
#include "orvane/site/responses/TimezoneResponse.h"

namespace orvane::site {

namespace detail {
template <class T>
struct IsDecodableResponse {
  static constexpr bool value = false;
};
}  // namespace detail

/// Decodes the body of a reply into the response record `T`: BaseResponse (the envelope alone)
/// or one of the eight operation responses.
///
/// Decoding is strict: keys are matched exactly; an absent or null member leaves its field
/// empty; a value of the wrong JSON kind, a fractional or out-of-range integer, a null element
/// of a list, or a missing or null required member (a position's "lat"/"lng", a bounds corner,
/// a prediction's "matchedKeywords"/"matchedWords") fails the whole reply; unknown members are
/// ignored, and a member given twice counts with its last value. An operation's own members are
/// read first, then the envelope ("returnCode", "returnDesc") from the same top-level object;
/// when a reply holds several faults, the one reported is the first in that reading order.
///
/// Returns the record, or an Error of domain "OrvaneSite.DecodingError" whose code is a
/// DecodingErrorCode and whose userInfo holds "codingPath" and "debugDescription". Text that is
/// no valid JSON fails with dataCorrupted and an empty path; so do, wherever they appear, numbers
/// beyond the double range and integers written without fraction or exponent that fit neither
/// signed nor unsigned 64 bits (the parser refuses them; 1e20 or 1.0e20 is read).
///
/// Never throws (running out of memory is reported as dataCorrupted too). Thread-safe: each
/// thread reuses its own parser, and `json` need not be NUL-terminated or padded.
///
/// Memory: the shared place records of one reply (sites, addresses, POIs, opening hours,
/// periods...) are placed together in blocks of 8 KiB. Each record still lives exactly as long as
/// its own references and may be dropped on any thread; a block returns to the library once all
/// of its records are gone, so keeping one record keeps at most its block of 8 KiB. The library
/// keeps up to 512 KiB of such blocks for later replies.
template <class T>
Result<T> decode(std::string_view json) noexcept {
  static_assert(detail::IsDecodableResponse<T>::value,
                "orvane::site::decode<T> is available for BaseResponse and the eight "
                "operation responses only");
  (void)json;
  return Result<T>(Error{});
}

template <>
ORVANE_SITE_EXPORT Result<BaseResponse> decode<BaseResponse>(std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<TextSearchResponse> decode<TextSearchResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<NearbySearchResponse> decode<NearbySearchResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<DetailSearchResponse> decode<DetailSearchResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<QuerySuggestionResponse> decode<QuerySuggestionResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<QueryAutocompleteResponse> decode<QueryAutocompleteResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<GeocodeResponse> decode<GeocodeResponse>(std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<ReverseGeocodeResponse> decode<ReverseGeocodeResponse>(
    std::string_view json) noexcept;
template <>
ORVANE_SITE_EXPORT Result<TimezoneResponse> decode<TimezoneResponse>(
    std::string_view json) noexcept;

}  // namespace orvane::site
