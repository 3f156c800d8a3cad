#pragma once

#include <nlohmann/json.hpp>

#include <orvane/site/records/Site.h>
#include <orvane/site/responses/DetailSearchResponse.h>
#include <orvane/site/responses/GeocodeResponse.h>
#include <orvane/site/responses/NearbySearchResponse.h>
#include <orvane/site/responses/QueryAutocompleteResponse.h>
#include <orvane/site/responses/QuerySuggestionResponse.h>
#include <orvane/site/responses/ReverseGeocodeResponse.h>
#include <orvane/site/responses/TextSearchResponse.h>
#include <orvane/site/responses/TimezoneResponse.h>

namespace orvane::site::cli {

/// The tool's JSON form of the response records: the service's key names, members in the
/// records' order, absent fields left out (never null).
using Json = nlohmann::ordered_json;

Json toJson(const Site& site);
Json toJson(const AutoCompletePrediction& prediction);
Json toJson(const TextSearchResponse& response);
Json toJson(const NearbySearchResponse& response);
Json toJson(const DetailSearchResponse& response);
Json toJson(const QuerySuggestionResponse& response);
Json toJson(const QueryAutocompleteResponse& response);
Json toJson(const GeocodeResponse& response);
Json toJson(const ReverseGeocodeResponse& response);
Json toJson(const TimezoneResponse& response);

}  // namespace orvane::site::cli
