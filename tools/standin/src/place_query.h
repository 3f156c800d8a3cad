#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geo.h"
#include "orvane/site/standin/place.h"
#include "request_body.h"

namespace orvane::site::standin::detail {

/// One place that matched, with what it is sorted by.
struct Candidate {
  const Place* place = nullptr;
  int rank = 0;         ///< lower first
  double distance = 0;  ///< metres from the request's point, when it has one
};

/// Every token occurs (ignoring ASCII case) in the name, the country, the zone name, or equals
/// the country code.
bool matchesAllTokens(const Place& place, const std::vector<std::string>& tokens);

/// Every token starts a word of the name, the country or the zone name.
bool matchesWordPrefixes(const Place& place, const std::vector<std::string>& tokens);

/// The place lies in the country of this ISO code (any case), counting every country its zone
/// covers.
bool inCountry(const Place& place, const std::string& countryCode);

/// The place carries this POI type (any case) in the generic or the service's vocabulary.
bool hasPoiType(const Place& place, const std::string& type);
bool hasOvPoiType(const Place& place, const std::string& type);

/// Sorts by rank, then distance, then name and zone, so every reply is deterministic.
void sortCandidates(std::vector<Candidate>& candidates);

/// "pageSize" (1 to 100, default 20) and "pageIndex" (from 1, default 1) of a request.
struct Page {
  std::int64_t size = 20;
  std::int64_t index = 1;

  static Page of(const RequestBody& request);
  /// The slice of `candidates` this page shows.
  std::vector<Candidate> slice(const std::vector<Candidate>& candidates) const;
};

/// A "radius" in metres: at least 1; `fallback` when absent.
std::int64_t radiusOf(const RequestBody& request, std::int64_t fallback);

}  // namespace orvane::site::standin::detail
