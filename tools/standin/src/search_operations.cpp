// Text search, nearby search, detail search and query suggestion.
#include <algorithm>
#include <limits>

#include "operations.h"
#include "place_query.h"
#include "site_json.h"
#include "text_match.h"

namespace orvane::site::standin::detail {
namespace {

constexpr std::int64_t kDefaultNearbyRadius = 50000;
constexpr std::size_t kSuggestionLimit = 10;

// The POI-type filters of text and nearby search, read once before any place is looked at.
struct TypeFilter {
  std::optional<std::string> poiType;
  std::optional<std::string> ovPoiType;

  explicit TypeFilter(const RequestBody& request)
      : poiType(request.optionalString("poiType")),
        ovPoiType(request.optionalString("ovPoiType")) {}

  bool passes(const Place& place) const {
    return (!poiType || hasPoiType(place, *poiType)) &&
           (!ovPoiType || hasOvPoiType(place, *ovPoiType));
  }
};

// The distance beyond which places are left out: unlimited without a radius. A plain limit
// rather than an optional keeps GCC 12's optimiser from a false "may be used uninitialized".
double radiusLimitOf(const RequestBody& request) {
  if (!request.optionalInteger("radius")) return std::numeric_limits<double>::infinity();
  return static_cast<double>(radiusOf(request, 0));
}

// Exact names first, then names that start with the query, then everything else.
int nameRank(const Place& place, const std::string& query) {
  const std::string name = foldCase(place.name);
  const std::string wanted = foldCase(query);
  if (name == wanted) return 0;
  if (!wanted.empty() && name.compare(0, wanted.size(), wanted) == 0) return 1;
  return 2;
}

nlohmann::ordered_json sitesOf(const std::vector<Candidate>& page, const SiteShape& shape,
                               const OperationContext& context) {
  nlohmann::ordered_json sites = nlohmann::ordered_json::array();
  for (const Candidate& candidate : page) {
    sites.push_back(siteJson(*candidate.place, shape, context.zones, context.now));
  }
  return sites;
}

OperationReply pagedReply(std::vector<Candidate> candidates, const Page& page,
                          const SiteShape& shape, const OperationContext& context) {
  sortCandidates(candidates);
  OperationReply reply{200, okEnvelope()};
  reply.body["totalCount"] = candidates.size();
  reply.body["sites"] = sitesOf(page.slice(candidates), shape, context);
  return reply;
}

}  // namespace

nlohmann::ordered_json okEnvelope() { return {{"returnCode", "0"}, {"returnDesc", "OK"}}; }

OperationReply textSearch(const RequestBody& request, const OperationContext& context) {
  const std::string query = request.requiredString("query");
  const std::optional<LatLng> location = request.optionalCoordinate("location");
  const double radiusLimit = radiusLimitOf(request);
  const std::optional<std::string> countryCode = request.optionalString("countryCode");
  const TypeFilter types(request);
  const Page page = Page::of(request);
  const bool children = request.optionalBool("children").value_or(false);
  request.optionalString("language");  // checked, not used: names come in English only

  const std::vector<std::string> tokens = queryTokens(query);
  std::vector<Candidate> candidates;
  for (const Place& place : context.dataset.places()) {
    if (!matchesAllTokens(place, tokens) || !types.passes(place)) continue;
    if (countryCode && !inCountry(place, *countryCode)) continue;
    Candidate candidate{&place, nameRank(place, query), 0};
    if (location) {
      // With a point the nearest come first; with a radius too, farther ones are left out.
      candidate.distance = distanceMeters(*location, {place.lat, place.lng});
      candidate.rank = 0;
      if (candidate.distance > radiusLimit) continue;
    }
    candidates.push_back(candidate);
  }
  SiteShape shape;
  shape.distanceFrom = location;
  shape.withChildren = children;
  return pagedReply(std::move(candidates), page, shape, context);
}

OperationReply nearbySearch(const RequestBody& request, const OperationContext& context) {
  const LatLng location = request.requiredCoordinate("location");
  const std::int64_t radius = radiusOf(request, kDefaultNearbyRadius);
  const std::optional<std::string> query = request.optionalString("query");
  const TypeFilter types(request);
  const Page page = Page::of(request);
  request.optionalString("language");

  const std::vector<std::string> tokens = query ? queryTokens(*query) : std::vector<std::string>{};
  std::vector<Candidate> candidates;
  for (const Place& place : context.dataset.places()) {
    // An empty or blank query filters nothing, like an absent one.
    if (!tokens.empty() && !matchesAllTokens(place, tokens)) continue;
    if (!types.passes(place)) continue;
    const double distance = distanceMeters(location, {place.lat, place.lng});
    if (distance > static_cast<double>(radius)) continue;
    candidates.push_back({&place, 0, distance});
  }
  SiteShape shape;
  shape.distanceFrom = location;
  return pagedReply(std::move(candidates), page, shape, context);
}

OperationReply detailSearch(const RequestBody& request, const OperationContext& context) {
  const std::string siteId = request.requiredString("siteId");
  request.optionalString("language");
  SiteShape shape;
  shape.withChildren = request.optionalBool("children").value_or(false);

  const Place* place = context.dataset.findBySiteId(siteId);
  if (place == nullptr) {
    // A well-formed request for an unknown place is answered, not refused: the envelope says so.
    return {200, {{"returnCode", "010011"}, {"returnDesc", "NOT_FOUND: no site has this siteId"}}};
  }
  OperationReply reply{200, okEnvelope()};
  reply.body["site"] = siteJson(*place, shape, context.zones, context.now);
  return reply;
}

OperationReply querySuggestion(const RequestBody& request, const OperationContext& context) {
  const std::string query = request.requiredString("query");
  const std::optional<LatLng> location = request.optionalCoordinate("location");
  const double radiusLimit = radiusLimitOf(request);
  const std::optional<Box> bounds = request.optionalBounds("bounds");
  const std::optional<std::vector<std::string>> poiTypes = request.optionalStringList("poiTypes");
  const std::optional<std::string> countryCode = request.optionalString("countryCode");
  const bool children = request.optionalBool("children").value_or(false);
  request.optionalString("language");

  const std::vector<std::string> tokens = queryTokens(query);
  std::vector<Candidate> candidates;
  for (const Place& place : context.dataset.places()) {
    if (!matchesWordPrefixes(place, tokens)) continue;
    if (countryCode && !inCountry(place, *countryCode)) continue;
    if (bounds && !bounds->contains({place.lat, place.lng})) continue;
    if (poiTypes && !poiTypes->empty() &&
        std::none_of(poiTypes->begin(), poiTypes->end(),
                     [&](const std::string& type) { return hasPoiType(place, type); })) {
      continue;
    }
    Candidate candidate{&place, nameRank(place, query) == 2 ? 1 : 0, 0};
    if (location) {
      candidate.distance = distanceMeters(*location, {place.lat, place.lng});
      if (candidate.distance > radiusLimit) continue;
    }
    candidates.push_back(candidate);
  }
  sortCandidates(candidates);
  if (candidates.size() > kSuggestionLimit) candidates.resize(kSuggestionLimit);

  SiteShape shape;
  shape.distanceFrom = location;
  shape.withChildren = children;
  OperationReply reply{200, okEnvelope()};
  reply.body["sites"] = sitesOf(candidates, shape, context);
  return reply;
}

}  // namespace orvane::site::standin::detail
