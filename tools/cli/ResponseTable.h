#pragma once

#include <string>

#include <orvane/site/responses/DetailSearchResponse.h>
#include <orvane/site/responses/GeocodeResponse.h>
#include <orvane/site/responses/NearbySearchResponse.h>
#include <orvane/site/responses/QueryAutocompleteResponse.h>
#include <orvane/site/responses/QuerySuggestionResponse.h>
#include <orvane/site/responses/ReverseGeocodeResponse.h>
#include <orvane/site/responses/TextSearchResponse.h>
#include <orvane/site/responses/TimezoneResponse.h>

namespace orvane::site::cli {

/// The short table form of each response (`--format table`): a summary line, then one row per
/// place (or per field for a single place and for a time zone). Meant for people; scripts read
/// the JSON form.
std::string toTable(const TextSearchResponse& response);
std::string toTable(const NearbySearchResponse& response);
std::string toTable(const DetailSearchResponse& response);
std::string toTable(const QuerySuggestionResponse& response);
std::string toTable(const QueryAutocompleteResponse& response);
std::string toTable(const GeocodeResponse& response);
std::string toTable(const ReverseGeocodeResponse& response);
std::string toTable(const TimezoneResponse& response);

}  // namespace orvane::site::cli
