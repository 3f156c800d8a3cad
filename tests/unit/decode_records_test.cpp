// Each record's and response's keys reach the right members, and their own edge cases. Place
// records are decoded inside a detail-search reply ({"site": ...}); value records also through
// their public decode(). Whole replies: the 20-site fixture.

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/decode.h"
#include "orvane/site/records/AutoCompletePrediction.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"
#include "orvane/site/records/Word.h"
#include "support/ReplyFixtures.h"

namespace orvane::site {
namespace {

using Strings = std::vector<std::string>;

std::int64_t codeOf(DecodingErrorCode code) { return static_cast<std::int64_t>(code); }

// One rule table over every record of a site: the fault, its code and its key path.
TEST(RecordFaults, FailTheReplyAtTheirPath) {
  using Code = DecodingErrorCode;
  const struct {
    const char* site;
    Code code;
    const char* path;  // within the site
  } cases[] = {
      // Coordinate and CoordinateBounds
      {R"({"location":{"lat":1}})", Code::keyNotFound, "location.lng"},
      {R"({"location":{"lat":1,"lng":null}})", Code::valueNotFound, "location.lng"},
      {R"({"location":{"lat":"48.8","lng":"2.3"}})", Code::typeMismatch, "location.lat"},
      {R"({"location":[48.8,2.3]})", Code::typeMismatch, "location"},
      {R"({"viewport":{"northeast":{"lat":1,"lng":2}}})", Code::keyNotFound, "viewport.southwest"},
      {R"({"viewport":{"northeast":null,"southwest":{"lat":1,"lng":2}}})", Code::valueNotFound,
       "viewport.northeast"},
      // AutoCompletePrediction and Word: both lists required, offsets whole numbers
      {R"({"prediction":{"matchedKeywords":[]}})", Code::keyNotFound, "prediction.matchedWords"},
      {R"({"prediction":{"matchedKeywords":null,"matchedWords":[]}})", Code::valueNotFound,
       "prediction.matchedKeywords"},
      {R"({"prediction":{"matchedKeywords":[],"matchedWords":[{"value":1}]}})", Code::typeMismatch,
       "prediction.matchedWords.0.value"},
      {R"({"prediction":{"matchedKeywords":[{"offset":3.5}],"matchedWords":[]}})",
       Code::dataCorrupted, "prediction.matchedKeywords.0.offset"},
      // AddressDetail
      {R"({"address":{"country":"France","postalCode":75009}})", Code::typeMismatch,
       "address.postalCode"},
      // Poi and ChildrenNode
      {R"({"poi":{"poiTypes":"CAFE"}})", Code::typeMismatch, "poi.poiTypes"},
      {R"({"poi":{"ovPoiTypes":["A",1]}})", Code::typeMismatch, "poi.ovPoiTypes.1"},
      {R"({"poi":{"priceLevel":2.5}})", Code::dataCorrupted, "poi.priceLevel"},
      {R"({"poi":{"rating":"4.5"}})", Code::typeMismatch, "poi.rating"},
      {R"({"poi":{"childrenNodes":[{"location":{"lat":1}}]}})", Code::keyNotFound,
       "poi.childrenNodes.0.location.lng"},
      // OpeningHours, Period, TimeOfWeek
      {R"({"poi":{"openingHours":{"periods":[{"open":{"week":1.5}}]}}})", Code::dataCorrupted,
       "poi.openingHours.periods.0.open.week"},
      {R"({"poi":{"openingHours":{"periods":[{},{"close":{"time":800}}]}}})", Code::typeMismatch,
       "poi.openingHours.periods.1.close.time"},
      // Site
      {R"({"siteId":123})", Code::typeMismatch, "siteId"},
      {R"({"utcOffset":1.5})", Code::dataCorrupted, "utcOffset"}};
  for (const auto& c : cases) {
    const auto result = decode<DetailSearchResponse>(std::string(R"({"site":)") + c.site + "}");
    ASSERT_FALSE(result.ok()) << c.site;
    EXPECT_EQ(result.error().code, codeOf(c.code)) << c.site;
    EXPECT_EQ(result.error().userInfo.at("codingPath"), std::string("site.") + c.path);
  }
}

TEST(ValueRecords, DecodeOnTheirOwnAndEncodeOnlyPresentParts) {
  auto coordinate = Coordinate::decode(R"({"lat":48,"lng":2.35,"alt":35,"lat ":"x"})");
  ASSERT_TRUE(coordinate);
  EXPECT_EQ(coordinate->lng, 2.35);
  Error error;
  EXPECT_FALSE(Coordinate::decode(R"({"lng":1})", &error));
  EXPECT_EQ(error.userInfo["codingPath"], "lat");
  EXPECT_FALSE(Coordinate::decode("{}"));  // the error out-parameter is optional
  EXPECT_EQ(Coordinate(0.0, 0.0).encode(), nlohmann::json::parse(R"({"lat":0.0,"lng":0.0})"));

  auto bounds =
      CoordinateBounds::decode(R"({"southwest":{"lat":3,"lng":4},"northeast":{"lat":1,"lng":2}})");
  ASSERT_TRUE(bounds);
  EXPECT_EQ(bounds->northeast.lng, 2.0);
  EXPECT_EQ(bounds->southwest.lat, 3.0);

  auto word = Word::decode(R"({"value":"Café","offset":3.0,"length":4})");
  ASSERT_TRUE(word);
  EXPECT_EQ(word->offset, 3);
  EXPECT_EQ(Word{}.encode(), nlohmann::json::object());
  EXPECT_EQ((Word{0, ""}).encode(), nlohmann::json::parse(R"({"offset":0,"value":""})"));

  EXPECT_EQ(AutoCompletePrediction{}.encode(),
            nlohmann::json::parse(R"({"matchedKeywords":[],"matchedWords":[]})"));
  AutoCompletePrediction prediction;
  prediction.description = "Café de la Paix";
  prediction.matchedWords = {Word{0, "Café"}, Word{std::nullopt, "Paix"}};
  auto decoded = AutoCompletePrediction::decode(prediction.encode().dump());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->encode(), prediction.encode());
}

// Every key of a site reaches its own member (unknown and case-different keys are ignored).
TEST(SiteRecords, EveryKeyFillsItsOwnMember) {
  auto result = decode<DetailSearchResponse>(R"({"site":{
      "siteId":"S1","name":"Café de la Paix","formatAddress":"5 Place de l'Opéra, Paris",
      "address":{"postalCode":"75009","streetNumber":"5","thoroughfare":"Place de l'Opéra",
        "subLocality":"9e","locality":"Paris","tertiaryAdminArea":"T","subAdminArea":"P",
        "adminArea":"IDF","country":null,"countryCode":"FR","Locality":"ignored"},
      "location":{"lat":48.87,"lng":2.33},
      "viewport":{"northeast":{"lat":49,"lng":3},"southwest":{"lat":48,"lng":2}},
      "distance":250,"prediction":{"matchedKeywords":[],"matchedWords":[]},
      "utcOffset":60,"siteID":"ignored","poi":{
      "poiTypes":["CAFE","CAFE","RESTAURANT"],"ovPoiTypes":["EATING_DRINKING"],
      "phone":"01 40","internationalPhone":"+33 1 40","rating":4,
      "websiteUrl":"https://example.fr","photoUrls":["https://example.fr/1.jpg"],
      "priceLevel":3.0,"businessStatus":"OPEN",
      "openingHours":{"texts":[],"periods":[
        {"open":{"week":1,"time":"0800"},"close":{"week":1,"time":"2000"}},{}]},
      "childrenNodes":[{"siteId":"C1","name":"Entrance","formatAddress":"1 Rue X",
                        "location":{"lat":1,"lng":2},"ovPoiTypes":["ENTRANCE"],
                        "domeAndInt":"D","depAndArr":"A"}]}}})");
  ASSERT_TRUE(result.ok()) << result.error().userInfo.at("codingPath");
  const std::shared_ptr<Site>& site = result.value()->site;
  ASSERT_TRUE(site && site->address && site->poi);
  EXPECT_EQ(site->siteId, "S1");
  EXPECT_EQ(site->name, "Café de la Paix");
  EXPECT_EQ(site->formatAddress, "5 Place de l'Opéra, Paris");
  EXPECT_EQ(site->location->lat, 48.87);
  EXPECT_EQ(site->viewport->southwest.lat, 48.0);
  EXPECT_EQ(site->distance, 250.0);
  EXPECT_FALSE(site->prediction->description);
  EXPECT_EQ(site->utcOffset, 60);
  const AddressDetail& a = *site->address;
  EXPECT_EQ(Strings({*a.postalCode, *a.streetNumber, *a.thoroughfare, *a.subLocality, *a.locality,
                     *a.tertiaryAdminArea, *a.subAdminArea, *a.adminArea, *a.countryCode}),
            Strings({"75009", "5", "Place de l'Opéra", "9e", "Paris", "T", "P", "IDF", "FR"}));
  EXPECT_FALSE(a.country);  // null is empty
  const Poi& poi = *site->poi;
  EXPECT_EQ(poi.poiTypes, (Strings{"CAFE", "CAFE", "RESTAURANT"}));  // order and duplicates kept
  EXPECT_EQ(poi.ovPoiTypes, Strings{"EATING_DRINKING"});
  EXPECT_EQ(Strings({*poi.phone, *poi.internationalPhone, *poi.websiteUrl, *poi.businessStatus}),
            Strings({"01 40", "+33 1 40", "https://example.fr", "OPEN"}));
  EXPECT_EQ(poi.rating, 4.0);
  EXPECT_EQ(poi.photoUrls, Strings{"https://example.fr/1.jpg"});
  EXPECT_EQ(poi.priceLevel, 3);
  ASSERT_TRUE(poi.openingHours && poi.openingHours->periods);
  EXPECT_EQ(poi.openingHours->texts, Strings{});  // present and empty
  ASSERT_EQ(poi.openingHours->periods->size(), 2u);
  EXPECT_EQ(poi.openingHours->periods->at(0)->open->week, 1);
  EXPECT_EQ(poi.openingHours->periods->at(0)->close->time, "2000");
  EXPECT_EQ(poi.openingHours->periods->at(1)->open, nullptr);
  ASSERT_EQ(poi.childrenNodes->size(), 1u);
  const ChildrenNode& child = *poi.childrenNodes->at(0);
  EXPECT_EQ(Strings({*child.siteId, *child.name, *child.formatAddress, *child.domeAndInt,
                     *child.depAndArr}),
            Strings({"C1", "Entrance", "1 Rue X", "D", "A"}));
  EXPECT_EQ(child.location->lng, 2.0);
  EXPECT_EQ(child.ovPoiTypes, Strings{"ENTRANCE"});
}

// --- The envelope, for every response type -----------------------------------------------------

template <class T>
class EveryResponse : public ::testing::Test {};

using ResponseTypes =
    ::testing::Types<BaseResponse, TextSearchResponse, NearbySearchResponse, DetailSearchResponse,
                     QuerySuggestionResponse, QueryAutocompleteResponse, GeocodeResponse,
                     ReverseGeocodeResponse, TimezoneResponse>;
TYPED_TEST_SUITE(EveryResponse, ResponseTypes);

TYPED_TEST(EveryResponse, ReadsItsOwnTextEnvelopeOnly) {
  auto result = decode<TypeParam>(
      R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST","ReturnCode":"x","extra":1})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->returnCode, "010001");
  EXPECT_EQ(result.value()->returnDesc, "INVALID_REQUEST");
  auto nested = decode<TypeParam>(R"({"data":{"returnCode":"x","returnDesc":"y"}})");
  ASSERT_TRUE(nested.ok());
  EXPECT_FALSE(nested.value()->returnCode);
  EXPECT_FALSE(nested.value()->returnDesc);
  for (const char* json : {R"({"returnCode":0})", R"({"returnDesc":["OK"]})",
                           R"({"returnCode":"0","returnDesc":false})"}) {
    auto bad = decode<TypeParam>(json);
    EXPECT_TRUE(!bad.ok() && bad.error().code == codeOf(DecodingErrorCode::typeMismatch)) << json;
  }
}

// --- Own keys of each response -----------------------------------------------------------------

TEST(SearchResponses, EachReadsItsSitesListAndKeepsAnEmptyOne) {
  const std::string reply = R"({"sites":[{"name":"a"},{"name":"b"}],"totalCount":2})";
  const auto names = [](const auto& result) {
    std::vector<std::string> found;
    if (result.ok() && result.value()->sites) {
      for (const auto& site : *result.value()->sites) found.push_back(site->name.value_or("?"));
    }
    return found;
  };
  const Strings expected = {"a", "b"};
  EXPECT_EQ(names(decode<TextSearchResponse>(reply)), expected);
  EXPECT_EQ(names(decode<NearbySearchResponse>(reply)), expected);
  EXPECT_EQ(names(decode<QuerySuggestionResponse>(reply)), expected);
  EXPECT_EQ(names(decode<QueryAutocompleteResponse>(reply)), expected);
  EXPECT_EQ(names(decode<GeocodeResponse>(reply)), expected);
  EXPECT_EQ(names(decode<ReverseGeocodeResponse>(reply)), expected);
  EXPECT_EQ(decode<NearbySearchResponse>(reply).value()->totalCount, 2);

  auto empty = decode<TextSearchResponse>(R"({"sites":[],"totalCount":0})");
  ASSERT_TRUE(empty.ok() && empty.value()->sites);
  EXPECT_TRUE(empty.value()->sites->empty());
  EXPECT_EQ(empty.value()->totalCount, 0);
}

TEST(DetailSearchResponseTest, IgnoresASitesListAndNeedsAnObject) {
  auto list = decode<DetailSearchResponse>(R"({"sites":[{"siteId":"S1"}],"site":null})");
  ASSERT_TRUE(list.ok());
  EXPECT_EQ(list.value()->site, nullptr);

  auto wrong = decode<DetailSearchResponse>(R"({"site":[{"siteId":"S1"}]})");
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error().userInfo.at("codingPath"), "site");
}

TEST(QueryAutocompleteResponseTest, ReadsSitesBeforePredictions) {
  auto result = decode<QueryAutocompleteResponse>(
      R"({"predictions":[{"description":"Paris","matchedKeywords":[],"matchedWords":[]}],
          "sites":[]})");
  ASSERT_TRUE(result.ok() && result.value()->predictions && result.value()->sites);
  ASSERT_EQ(result.value()->predictions->size(), 1u);
  EXPECT_EQ(result.value()->predictions->at(0).description, "Paris");
  EXPECT_TRUE(result.value()->sites->empty());

  // Both lists are faulty; "sites" is read first although it comes last.
  auto both = decode<QueryAutocompleteResponse>(
      R"({"predictions":[{"description":"Paris"}],"sites":[{"name":5}]})");
  ASSERT_FALSE(both.ok());
  EXPECT_EQ(both.error().userInfo.at("codingPath"), "sites.0.name");
}

TEST(TimezoneResponseTest, ReadsOffsetsAndNames) {
  auto result = decode<TimezoneResponse>(
      R"({"dstOffset":3600.0,"rawOffset":-60,"timeZoneId":"Europe/Paris","timeZoneName":"CEST"})");
  ASSERT_TRUE(result.ok());
  const TimezoneResponse& zone = *result.value();
  EXPECT_EQ(std::make_tuple(*zone.dstOffset, *zone.rawOffset, *zone.timeZoneId, *zone.timeZoneName),
            std::make_tuple(std::int64_t{3600}, std::int64_t{-60}, std::string("Europe/Paris"),
                            std::string("CEST")));
}

// --- Whole replies -----------------------------------------------------------------------------

TEST(FixtureReply, TwentySitesDecodeCompletely) {
  const std::string json = testkit::readFixture("text_search_20_sites.json");
  auto result = decode<TextSearchResponse>(json);
  ASSERT_TRUE(result.ok()) << result.error().userInfo.at("codingPath") << ": "
                           << result.error().userInfo.at("debugDescription");
  const TextSearchResponse& reply = *result.value();
  EXPECT_EQ(reply.totalCount, 134);
  ASSERT_TRUE(reply.sites);
  ASSERT_EQ(reply.sites->size(), 20u);

  for (const auto& site : *reply.sites) {
    SCOPED_TRACE(site->name.value_or("?"));
    ASSERT_TRUE(site->siteId && site->name && site->formatAddress && site->location &&
                site->viewport && site->distance && site->prediction && site->utcOffset);
    ASSERT_TRUE(site->address && site->poi && site->poi->openingHours);
    EXPECT_TRUE(site->address->countryCode && site->address->locality);
    EXPECT_TRUE(site->poi->poiTypes && site->poi->ovPoiTypes && site->poi->photoUrls &&
                site->poi->businessStatus && site->poi->rating);
    const auto& hours = *site->poi->openingHours;
    EXPECT_TRUE(hours.periods && !hours.periods->empty() && hours.texts);
    EXPECT_TRUE(site->poi->childrenNodes && !site->poi->childrenNodes->empty());
  }

  // Texts beyond ASCII come through as sent.
  EXPECT_EQ(reply.sites->at(0)->name, "Café de la Paix");
  EXPECT_EQ(reply.sites->at(2)->address->country, "日本");
  EXPECT_EQ(reply.sites->at(0)->poi->openingHours->texts->at(0), "Sunday: 08:00–20:00");
}

}  // namespace
}  // namespace orvane::site
