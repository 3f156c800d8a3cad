#pragma once

#include <string>
#include <vector>

namespace orvane::site::standin {

/// One place of the stand-in's data set: the principal city of a time zone, as listed in tzdata's
/// zone1970.tab, with its country's name from iso-codes.
struct Place {
  std::string siteId;       ///< stable identifier made from the zone name (16 hex digits)
  std::string name;         ///< last part of the zone name, underscores as spaces ("New York")
  std::string zoneId;       ///< the zone name ("America/New_York")
  std::string countryCode;  ///< ISO 3166-1 alpha-2 code of the city's country ("US")
  std::string country;      ///< the country's common name ("United States")
  std::vector<std::string> otherCountryCodes;  ///< further countries the zone covers
  double lat = 0;                              ///< latitude of the principal city, degrees north
  double lng = 0;                              ///< longitude of the principal city, degrees east
};

}  // namespace orvane::site::standin
