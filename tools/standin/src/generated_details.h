#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "orvane/site/standin/place.h"

namespace orvane::site::standin::detail {

// The data set knows a place's name, country, position and zone, nothing more. Everything below
// (street address, postal code, phone numbers, rating, opening hours, photos, child places) is
// made up from a hash of the zone name: the same place always gets the same details, on every run
// and machine, but none of it describes the real city. Phone numbers use the unassigned country
// code +999 and web addresses the reserved example.com domain, so nothing made up can reach a
// real person or site.

/// The structured address (the "address" member of a site).
nlohmann::ordered_json generatedAddress(const Place& place);

/// The address as one line, matching `generatedAddress`.
std::string generatedFormatAddress(const Place& place);

/// POI types every place carries, in the generic and in the service's own vocabulary.
const std::vector<std::string>& placePoiTypes();
const std::vector<std::string>& placeOvPoiTypes();

/// The point-of-interest details (the "poi" member of a site); child places only on request.
nlohmann::ordered_json generatedPoi(const Place& place, bool withChildren);

}  // namespace orvane::site::standin::detail
