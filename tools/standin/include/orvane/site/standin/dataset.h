#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "orvane/site/standin/place.h"

namespace orvane::site::standin {

/// The places the stand-in serves: one per row of tzdata's zone1970.tab, with country names from
/// iso-codes' ISO 3166-1 table. Immutable once loaded, so safe to read from any thread.
class Dataset {
 public:
  static constexpr const char* kZoneTable = "/usr/share/zoneinfo/zone1970.tab";
  static constexpr const char* kCountryTable = "/usr/share/iso-codes/json/iso_3166-1.json";

  /// Reads both tables; throws std::runtime_error when a file is missing or malformed.
  static Dataset load(const std::filesystem::path& zoneTable,
                      const std::filesystem::path& countryTable);

  /// The data set read from the Debian paths above, loaded on first use and never destroyed.
  static const Dataset& system();

  /// All places, in the order of zone1970.tab.
  const std::vector<Place>& places() const { return places_; }

  /// The place with this identifier or zone name, or nullptr.
  const Place* findBySiteId(const std::string& siteId) const;
  const Place* findByZone(const std::string& zoneId) const;

 private:
  std::vector<Place> places_;
  std::map<std::string, std::size_t> bySiteId_;
  std::map<std::string, std::size_t> byZone_;
};

}  // namespace orvane::site::standin
