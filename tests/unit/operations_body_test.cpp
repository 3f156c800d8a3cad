// The body dictionary and path each operation's request client produces.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
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
  auto expectEmpty = [](const auto& client) {
    EXPECT_EQ(client.createBodyParameters(), json::object());
    EXPECT_EQ(client.requestMode(), RequestMode::post);
    // Through the base class the same dictionary is present, never absent.
    const BaseRequestClient& base = client;
    EXPECT_EQ(base.createBodyParameters(), std::optional<json>(json::object()));
  };
  expectEmpty(TextSearchRequestClient());
  expectEmpty(NearbySearchRequestClient());
  expectEmpty(DetailSearchRequestClient());
  expectEmpty(QuerySuggestionRequestClient());
  expectEmpty(QueryAutocompleteRequestClient());
  expectEmpty(GeocodeRequestClient());
  expectEmpty(ReverseGeocodeRequestClient());
  expectEmpty(TimezoneRequestClient());
}

TEST(TextSearchBody, SendsOnlyPresentFieldsWithPoiTypesUpperCased) {
  EXPECT_EQ(bodyOf<TextSearchRequestClient>(TextSearchRequest("coffee", nullopt, nullopt, nullopt,
                                                              nullopt, nullopt, nullopt, nullopt,
                                                              nullopt, nullopt)),
            json::parse(R"({"query":"coffee"})"));
  EXPECT_EQ(bodyOf<TextSearchRequestClient>(
                TextSearchRequest("Café de Flore", Coordinate(48.85, 2.35), 1000, "restaurant",
                                  "Eating_Drinking", "fr", "fr", 20, 2, true)),
            json::parse(R"({"query":"Café de Flore","location":{"lat":48.85,"lng":2.35},
                            "radius":1000,"poiType":"RESTAURANT","ovPoiType":"EATING_DRINKING",
                            "countryCode":"fr","language":"fr","pageSize":20,"pageIndex":2,
                            "children":true})"));
}

TEST(TextSearchBody, SendsPresentZeroFalseAndEmptyValues) {
  const json body = bodyOf<TextSearchRequestClient>(
      TextSearchRequest("", Coordinate(0, 0), 0, "", "", "", "", 0, 0, false));
  EXPECT_EQ(body, json::parse(R"({"query":"","location":{"lat":0.0,"lng":0.0},"radius":0,
                                   "poiType":"","ovPoiType":"","countryCode":"","language":"",
                                   "pageSize":0,"pageIndex":0,"children":false})"));
  EXPECT_TRUE(body["radius"].is_number_integer());
  EXPECT_TRUE(body["location"]["lat"].is_number_float());
}

TEST(NearbySearchBody, ConstructorLabelsLandInTheFieldsOfTheSameName) {
  const NearbySearchRequest request(Coordinate(1.5, 2.5), 300, "pizza", "restaurant",
                                    "italian_restaurant", "it", 10, 4);
  EXPECT_EQ(bodyOf<NearbySearchRequestClient>(request),
            json::parse(R"({"location":{"lat":1.5,"lng":2.5},"radius":300,"query":"pizza",
                            "poiType":"RESTAURANT","ovPoiType":"ITALIAN_RESTAURANT",
                            "language":"it","pageSize":10,"pageIndex":4})"));
}

TEST(NearbySearchBody, AlwaysSendsTheLocationEvenAtZero) {
  EXPECT_EQ(bodyOf<NearbySearchRequestClient>(NearbySearchRequest(
                Coordinate(0, 0), nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt)),
            json::parse(R"({"location":{"lat":0.0,"lng":0.0}})"));
}

TEST(DetailSearchBody, SendsSiteIdAndPresentOptions) {
  EXPECT_EQ(bodyOf<DetailSearchRequestClient>(DetailSearchRequest("S1", nullopt, nullopt)),
            json::parse(R"({"siteId":"S1"})"));
  EXPECT_EQ(bodyOf<DetailSearchRequestClient>(DetailSearchRequest("", "en", false)),
            json::parse(R"({"siteId":"","language":"en","children":false})"));
}

TEST(QuerySuggestionBody, UpperCasesEachPoiTypeAndNestsLocationAndBounds) {
  EXPECT_EQ(bodyOf<QuerySuggestionRequestClient>(QuerySuggestionRequest(
                "eiffel", nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt)),
            json::parse(R"({"query":"eiffel"})"));
  EXPECT_EQ(
      bodyOf<QuerySuggestionRequestClient>(QuerySuggestionRequest(
          "eiffel", Coordinate(48.8, 2.3), 0, CoordinateBounds(Coordinate(2, 3), Coordinate(0, 1)),
          std::vector<std::string>{"restaurant", "bank", "straße"}, "fr", "FR", false)),
      json::parse(R"({"query":"eiffel","location":{"lat":48.8,"lng":2.3},"radius":0,
                      "bounds":{"northeast":{"lat":2.0,"lng":3.0},
                                "southwest":{"lat":0.0,"lng":1.0}},
                      "poiTypes":["RESTAURANT","BANK","STRASSE"],"countryCode":"fr",
                      "language":"FR","children":false})"));
}

TEST(QuerySuggestionBody, SendsAnEmptyPoiTypeListAsAnEmptyArray) {
  const json body = bodyOf<QuerySuggestionRequestClient>(QuerySuggestionRequest(
      "q", nullopt, nullopt, nullopt, std::vector<std::string>{}, nullopt, nullopt, nullopt));
  EXPECT_EQ(body, json::parse(R"({"query":"q","poiTypes":[]})"));
}

TEST(QueryAutocompleteBody, SendsOnlyPresentFieldsUnchanged) {
  EXPECT_EQ(bodyOf<QueryAutocompleteRequestClient>(
                QueryAutocompleteRequest("caf", nullopt, nullopt, nullopt, nullopt)),
            json::parse(R"({"query":"caf"})"));
  EXPECT_EQ(bodyOf<QueryAutocompleteRequestClient>(
                QueryAutocompleteRequest("caf", Coordinate(0, 0), 0, "fr", false)),
            json::parse(R"({"query":"caf","location":{"lat":0.0,"lng":0.0},"radius":0,
                            "language":"fr","children":false})"));
}

TEST(GeocodeBody, SendsAddressAndBoundsWithExactlyTheCornerKeys) {
  EXPECT_EQ(bodyOf<GeocodeRequestClient>(GeocodeRequest("1 Rue de Rivoli", nullopt, nullopt)),
            json::parse(R"({"address":"1 Rue de Rivoli"})"));
  EXPECT_EQ(bodyOf<GeocodeRequestClient>(
                GeocodeRequest("", CoordinateBounds(Coordinate(0, 0), Coordinate(-1.25, 7)), "")),
            json::parse(R"({"address":"","bounds":{"northeast":{"lat":0.0,"lng":0.0},
                            "southwest":{"lat":-1.25,"lng":7.0}},"language":""})"));
}

TEST(ReverseGeocodeBody, SendsLocationAndPresentOptions) {
  EXPECT_EQ(bodyOf<ReverseGeocodeRequestClient>(
                ReverseGeocodeRequest(Coordinate(0, 0), nullopt, nullopt)),
            json::parse(R"({"location":{"lat":0.0,"lng":0.0}})"));
  EXPECT_EQ(
      bodyOf<ReverseGeocodeRequestClient>(ReverseGeocodeRequest(Coordinate(95, -200), "de", false)),
      json::parse(R"({"location":{"lat":95.0,"lng":-200.0},"language":"de",
                            "returnPoi":false})"));
}

TEST(TimezoneBody, SendsLocationAndTimestampAlwaysAndTheLanguageWhenPresent) {
  EXPECT_EQ(bodyOf<TimezoneRequestClient>(TimezoneRequest(Coordinate(48.85, 2.35), 0, nullopt)),
            json::parse(R"({"location":{"lat":48.85,"lng":2.35},"timestamp":0})"));
  const json body =
      bodyOf<TimezoneRequestClient>(TimezoneRequest(Coordinate(1, 2), INT64_MIN, std::string()));
  EXPECT_EQ(body["timestamp"].get<std::int64_t>(), INT64_MIN);
  EXPECT_EQ(body["language"], "");
}

}  // namespace
}  // namespace orvane::site
