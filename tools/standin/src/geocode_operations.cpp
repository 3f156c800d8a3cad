// Geocode (address text to places), reverse geocode (position to places) and time zone.
#include <algorithm>

#include "operations.h"
#include "place_query.h"
#include "site_json.h"
#include "text_match.h"

namespace orvane::site::standin::detail {
namespace {

constexpr std::size_t kGeocodeLimit = 10;
constexpr std::size_t kReverseGeocodeLimit = 5;
// About 3,170 years either side of 1970: anything larger is not a count of seconds.
constexpr std::int64_t kTimestampLimit = 100000000000;

// A country the address names: by its name, or by its code written as a separate upper-case
// token ("Paris, FR"); lower-case two-letter words ("in", "de") are too common to count.
bool namesCountry(const std::string& address, const Place& place) {
  if (containsPhrase(address, place.country)) return true;
  for (const WordSpan& w : wordsOf(address)) {
    if (w.size == 2 && address.compare(w.begin, 2, place.countryCode) == 0) return true;
  }
  return false;
}

const Place& nearestPlace(const Dataset& dataset, const LatLng& point) {
  const Place* best = &dataset.places().front();
  double bestDistance = distanceMeters(point, {best->lat, best->lng});
  for (const Place& place : dataset.places()) {
    const double d = distanceMeters(point, {place.lat, place.lng});
    if (d < bestDistance || (d == bestDistance && place.zoneId < best->zoneId)) {
      best = &place;
      bestDistance = d;
    }
  }
  return *best;
}

}  // namespace

OperationReply geocode(const RequestBody& request, const OperationContext& context) {
  const std::string address = request.requiredString("address");
  const std::optional<Box> bounds = request.optionalBounds("bounds");
  request.optionalString("language");

  // Places whose name the address contains as a phrase; when none does, the places of a
  // country the address names. Places in a named country, then places inside the box, come first.
  std::vector<Candidate> byName;
  std::vector<Candidate> byCountry;
  for (const Place& place : context.dataset.places()) {
    const bool country = namesCountry(address, place);
    const bool inside = bounds && bounds->contains({place.lat, place.lng});
    const int rank = (country ? 0 : 2) + (inside || !bounds ? 0 : 1);
    if (containsPhrase(address, place.name)) {
      byName.push_back({&place, rank, 0});
    } else if (country) {
      byCountry.push_back({&place, rank, 0});
    }
  }
  std::vector<Candidate>& chosen = byName.empty() ? byCountry : byName;
  // Keep the table's order (most populous first) among equals for country-wide answers.
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const Candidate& a, const Candidate& b) { return a.rank < b.rank; });
  if (chosen.size() > kGeocodeLimit) chosen.resize(kGeocodeLimit);

  SiteShape shape;
  shape.withPoi = false;  // addresses, not points of interest
  OperationReply reply{200, okEnvelope()};
  reply.body["sites"] = nlohmann::ordered_json::array();
  for (const Candidate& candidate : chosen) {
    reply.body["sites"].push_back(siteJson(*candidate.place, shape, context.zones, context.now));
  }
  return reply;
}

OperationReply reverseGeocode(const RequestBody& request, const OperationContext& context) {
  const LatLng location = request.requiredCoordinate("location");
  const bool returnPoi = request.optionalBool("returnPoi").value_or(false);
  request.optionalString("language");

  std::vector<Candidate> candidates;
  for (const Place& place : context.dataset.places()) {
    candidates.push_back({&place, 0, distanceMeters(location, {place.lat, place.lng})});
  }
  sortCandidates(candidates);
  if (candidates.size() > kReverseGeocodeLimit) candidates.resize(kReverseGeocodeLimit);

  SiteShape shape;
  shape.distanceFrom = location;
  shape.withPoi = returnPoi;
  OperationReply reply{200, okEnvelope()};
  reply.body["sites"] = nlohmann::ordered_json::array();
  for (const Candidate& candidate : candidates) {
    reply.body["sites"].push_back(siteJson(*candidate.place, shape, context.zones, context.now));
  }
  return reply;
}

OperationReply timezone(const RequestBody& request, const OperationContext& context) {
  const LatLng location = request.requiredCoordinate("location");
  const std::int64_t timestamp = request.requiredInteger("timestamp");
  request.optionalString("language");
  if (timestamp <= -kTimestampLimit || timestamp >= kTimestampLimit) {
    throw BadRequest(
        "INVALID_REQUEST: \"timestamp\" must be in seconds since 1970-01-01T00:00:00Z");
  }
  // The data set has no zone borders: the zone of the nearest principal city is taken.
  const Place& place = nearestPlace(context.dataset, location);
  const ZoneOffsets offsets = context.zones.offsetsAt(place.zoneId, timestamp);
  OperationReply reply{200, okEnvelope()};
  reply.body["dstOffset"] = offsets.dstOffset;
  reply.body["rawOffset"] = offsets.rawOffset;
  reply.body["timeZoneId"] = place.zoneId;
  reply.body["timeZoneName"] = offsets.abbreviation;
  return reply;
}

}  // namespace orvane::site::standin::detail
