// The body dictionary and path each operation's request client produces.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane/site.h"

namespace orvane::site {
namespace {

using nlohmann::json;
using std::nullopt;

template <class Client>
json bodyOf(typename Client::RequestType request) {
  Client client;
  client._request(std::move(request));
  return client.createBodyParameters();
}

TEST(OperationBodies, AreEmptyObjectsWithoutAStoredRequestAndAlwaysPost) {
  const auto expectEmpty = [](const auto& client) {
    EXPECT_EQ(client.createBodyParameters(), json::object());
    EXPECT_EQ(client.requestMode(), RequestMode::post);
    // Through the base class the same dictionary is present, never absent.
    const BaseRequestClient& base = client;
    EXPECT_EQ(base.createBodyParameters(), std::optional<json>(json::object()));
  };
  std::apply(
      [&](const auto&... clients) { (expectEmpty(clients), ...); },
      std::tuple<TextSearchRequestClient, NearbySearchRequestClient, DetailSearchRequestClient,
                 QuerySuggestionRequestClient, QueryAutocompleteRequestClient, GeocodeRequestClient,
                 ReverseGeocodeRequestClient, TimezoneRequestClient>());
}

// Only present fields are sent (absent ones are left out, as in the first case), zero,
// false and empty values included; poi types upper-cased; constructor labels land in the fields
// of the same name; location and bounds nest.
TEST(OperationBodies, HoldExactlyThePresentFields) {
  const struct {
    json body;
    const char* expected;
  } cases[] = {
      {bodyOf<TextSearchRequestClient>(TextSearchRequest("coffee", nullopt, nullopt, nullopt,
                                                         nullopt, nullopt, nullopt, nullopt,
                                                         nullopt, nullopt)),
       R"({"query":"coffee"})"},
      {bodyOf<TextSearchRequestClient>(TextSearchRequest("Café de Flore", Coordinate(48.85, 2.35),
                                                         1000, "restaurant", "Eating_Drinking",
                                                         "fr", "fr", 20, 2, true)),
       R"({"query":"Café de Flore","location":{"lat":48.85,"lng":2.35},
           "radius":1000,"poiType":"RESTAURANT","ovPoiType":"EATING_DRINKING",
           "countryCode":"fr","language":"fr","pageSize":20,"pageIndex":2,
           "children":true})"},
      {bodyOf<TextSearchRequestClient>(
           TextSearchRequest("", Coordinate(0, 0), 0, "", "", "", "", 0, 0, false)),
       R"({"query":"","location":{"lat":0.0,"lng":0.0},"radius":0,
           "poiType":"","ovPoiType":"","countryCode":"","language":"",
           "pageSize":0,"pageIndex":0,"children":false})"},
      {bodyOf<NearbySearchRequestClient>(NearbySearchRequest(
           Coordinate(1.5, 2.5), 300, "pizza", "restaurant", "italian_restaurant", "it", 10, 4)),
       R"({"location":{"lat":1.5,"lng":2.5},"radius":300,"query":"pizza",
           "poiType":"RESTAURANT","ovPoiType":"ITALIAN_RESTAURANT",
           "language":"it","pageSize":10,"pageIndex":4})"},
      {bodyOf<DetailSearchRequestClient>(DetailSearchRequest("", "en", false)),
       R"({"siteId":"","language":"en","children":false})"},
      {bodyOf<QuerySuggestionRequestClient>(QuerySuggestionRequest(
           "eiffel", Coordinate(48.8, 2.3), 0, CoordinateBounds(Coordinate(2, 3), Coordinate(0, 1)),
           std::vector<std::string>{"restaurant", "bank", "straße"}, "fr", "FR", false)),
       R"({"query":"eiffel","location":{"lat":48.8,"lng":2.3},"radius":0,
           "bounds":{"northeast":{"lat":2.0,"lng":3.0},"southwest":{"lat":0.0,"lng":1.0}},
           "poiTypes":["RESTAURANT","BANK","STRASSE"],"countryCode":"fr",
           "language":"FR","children":false})"},
      {bodyOf<QuerySuggestionRequestClient>(QuerySuggestionRequest(
           "q", nullopt, nullopt, nullopt, std::vector<std::string>{}, nullopt, nullopt, nullopt)),
       R"({"query":"q","poiTypes":[]})"},
      {bodyOf<QueryAutocompleteRequestClient>(
           QueryAutocompleteRequest("caf", Coordinate(0, 0), 0, "fr", false)),
       R"({"query":"caf","location":{"lat":0.0,"lng":0.0},"radius":0,
           "language":"fr","children":false})"},
      {bodyOf<GeocodeRequestClient>(
           GeocodeRequest("", CoordinateBounds(Coordinate(0, 0), Coordinate(-1.25, 7)), "")),
       R"({"address":"","bounds":{"northeast":{"lat":0.0,"lng":0.0},
           "southwest":{"lat":-1.25,"lng":7.0}},"language":""})"},
      {bodyOf<ReverseGeocodeRequestClient>(
           ReverseGeocodeRequest(Coordinate(95, -200), "de", false)),
       R"({"location":{"lat":95.0,"lng":-200.0},"language":"de","returnPoi":false})"},
      {bodyOf<TimezoneRequestClient>(TimezoneRequest(Coordinate(48.85, 2.35), 0, nullopt)),
       R"({"location":{"lat":48.85,"lng":2.35},"timestamp":0})"},
      {bodyOf<TimezoneRequestClient>(TimezoneRequest(Coordinate(1, 2), INT64_MIN, std::string())),
       R"({"location":{"lat":1.0,"lng":2.0},"timestamp":-9223372036854775808,"language":""})"}};
  for (const auto& c : cases) EXPECT_EQ(c.body, json::parse(c.expected)) << c.expected;
  // Whole numbers stay integers and coordinates floating-point.
  EXPECT_TRUE(cases[2].body["radius"].is_number_integer());
  EXPECT_TRUE(cases[2].body["location"]["lat"].is_number_float());
  EXPECT_EQ(cases[11].body["timestamp"].get<std::int64_t>(), INT64_MIN);
}

}  // namespace
}  // namespace orvane::site
