#include "decoding/DecodeEntry.h"
#include "decoding/OwnedReply.h"
#include "decoding/RecordTable.h"
#include "orvane/site/decode.h"

// Each response lists its own keys; withEnvelope() appends "returnCode" and "returnDesc", which
// are read last from the same top-level object.

namespace orvane::site {
namespace decoding {

constexpr auto kBaseResponseFields = envelopeFields<BaseResponse>();

bool readValue(element value, BaseResponse& out, DecodeFailure& failure) {
  return readRecord<kBaseResponseFields>(value, out, failure);
}

constexpr auto kTextSearchResponseFields = withEnvelope(std::array{
    field<&TextSearchResponse::totalCount>("totalCount"),
    field<&TextSearchResponse::sites>("sites"),
});

bool readValue(element value, TextSearchResponse& out, DecodeFailure& failure) {
  return readRecord<kTextSearchResponseFields>(value, out, failure);
}

constexpr auto kNearbySearchResponseFields = withEnvelope(std::array{
    field<&NearbySearchResponse::totalCount>("totalCount"),
    field<&NearbySearchResponse::sites>("sites"),
});

bool readValue(element value, NearbySearchResponse& out, DecodeFailure& failure) {
  return readRecord<kNearbySearchResponseFields>(value, out, failure);
}

constexpr auto kDetailSearchResponseFields = withEnvelope(std::array{
    field<&DetailSearchResponse::site>("site"),
});

bool readValue(element value, DetailSearchResponse& out, DecodeFailure& failure) {
  return readRecord<kDetailSearchResponseFields>(value, out, failure);
}

constexpr auto kQuerySuggestionResponseFields = withEnvelope(std::array{
    field<&QuerySuggestionResponse::sites>("sites"),
});

bool readValue(element value, QuerySuggestionResponse& out, DecodeFailure& failure) {
  return readRecord<kQuerySuggestionResponseFields>(value, out, failure);
}

// "sites" is read before "predictions", the reverse of the member order.
constexpr auto kQueryAutocompleteResponseFields = withEnvelope(std::array{
    field<&QueryAutocompleteResponse::sites>("sites"),
    field<&QueryAutocompleteResponse::predictions>("predictions"),
});

bool readValue(element value, QueryAutocompleteResponse& out, DecodeFailure& failure) {
  return readRecord<kQueryAutocompleteResponseFields>(value, out, failure);
}

constexpr auto kGeocodeResponseFields = withEnvelope(std::array{
    field<&GeocodeResponse::sites>("sites"),
});

bool readValue(element value, GeocodeResponse& out, DecodeFailure& failure) {
  return readRecord<kGeocodeResponseFields>(value, out, failure);
}

constexpr auto kReverseGeocodeResponseFields = withEnvelope(std::array{
    field<&ReverseGeocodeResponse::sites>("sites"),
});

bool readValue(element value, ReverseGeocodeResponse& out, DecodeFailure& failure) {
  return readRecord<kReverseGeocodeResponseFields>(value, out, failure);
}

constexpr auto kTimezoneResponseFields = withEnvelope(std::array{
    field<&TimezoneResponse::dstOffset>("dstOffset"),
    field<&TimezoneResponse::rawOffset>("rawOffset"),
    field<&TimezoneResponse::timeZoneId>("timeZoneId"),
    field<&TimezoneResponse::timeZoneName>("timeZoneName"),
});

bool readValue(element value, TimezoneResponse& out, DecodeFailure& failure) {
  return readRecord<kTimezoneResponseFields>(value, out, failure);
}

bool hasParserPadding(const std::string& body) noexcept {
  return body.capacity() - body.size() >= simdjson::SIMDJSON_PADDING;
}

}  // namespace decoding

#define ORVANE_SITE_DECODE_RESPONSE(T)                                        \
  template <>                                                                 \
  Result<T> decode<T>(std::string_view json) noexcept {                       \
    return decoding::decodeReply<T>(json);                                    \
  }                                                                           \
  template <>                                                                 \
  Result<T> decoding::decodeOwnedReply<T>(const std::string& body) noexcept { \
    return decoding::decodeReply<T>(body, hasParserPadding(body));            \
  }

ORVANE_SITE_DECODE_RESPONSE(BaseResponse)
ORVANE_SITE_DECODE_RESPONSE(TextSearchResponse)
ORVANE_SITE_DECODE_RESPONSE(NearbySearchResponse)
ORVANE_SITE_DECODE_RESPONSE(DetailSearchResponse)
ORVANE_SITE_DECODE_RESPONSE(QuerySuggestionResponse)
ORVANE_SITE_DECODE_RESPONSE(QueryAutocompleteResponse)
ORVANE_SITE_DECODE_RESPONSE(GeocodeResponse)
ORVANE_SITE_DECODE_RESPONSE(ReverseGeocodeResponse)
ORVANE_SITE_DECODE_RESPONSE(TimezoneResponse)

#undef ORVANE_SITE_DECODE_RESPONSE

}  // namespace orvane::site
