// Each record's keys reach the right members, and each record's own edge cases. Place records
// are decoded inside a detail-search reply ({"site": ...}); value records also through their
// public decode().

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/decode.h"
#include "orvane/site/records/AutoCompletePrediction.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"
#include "orvane/site/records/Word.h"

namespace orvane::site {
namespace {

using Strings = std::vector<std::string>;

std::int64_t codeOf(DecodingErrorCode code) { return static_cast<std::int64_t>(code); }

/// Decodes {"site": <siteJson>} and returns the site (fails the test when it does not decode).
std::shared_ptr<Site> decodeSite(const std::string& siteJson) {
  auto result = decode<DetailSearchResponse>(R"({"site":)" + siteJson + "}");
  EXPECT_TRUE(result.ok()) << result.error().userInfo.at("codingPath") << ": "
                           << result.error().userInfo.at("debugDescription");
  return result.ok() ? result.value()->site : nullptr;
}

/// The failure of decoding {"site": <siteJson>}; an empty Error when it decodes.
Error siteFailure(const std::string& siteJson) {
  return decode<DetailSearchResponse>(R"({"site":)" + siteJson + "}").error();
}

// --- Coordinate and CoordinateBounds -----------------------------------------------------------

TEST(CoordinateRecord, DecodesNumbersOfEitherFormAndIgnoresExtraMembers) {
  auto coordinate = Coordinate::decode(R"({"lat":48,"lng":2.35,"alt":35,"lat ":"x"})");
  ASSERT_TRUE(coordinate);
  EXPECT_EQ(coordinate->lat, 48.0);
  EXPECT_EQ(coordinate->lng, 2.35);
}

TEST(CoordinateRecord, RejectsMissingNullAndNonNumericParts) {
  struct Case {
    const char* json;
    DecodingErrorCode code;
    const char* path;
  };
  for (const Case& c :
       {Case{R"({"lat":1})", DecodingErrorCode::keyNotFound, "lng"},
        Case{R"({"lng":1})", DecodingErrorCode::keyNotFound, "lat"},
        Case{R"({"lat":1,"lng":null})", DecodingErrorCode::valueNotFound, "lng"},
        Case{R"({"lat":"48.8","lng":"2.3"})", DecodingErrorCode::typeMismatch, "lat"},
        Case{R"([48.8,2.3])", DecodingErrorCode::typeMismatch, ""}}) {
    SCOPED_TRACE(c.json);
    Error error;
    EXPECT_FALSE(Coordinate::decode(c.json, &error));
    EXPECT_EQ(error.code, codeOf(c.code));
    EXPECT_EQ(error.userInfo["codingPath"], c.path);
  }
  EXPECT_FALSE(Coordinate::decode("{}"));  // the error out-parameter is optional
}

TEST(CoordinateRecord, EncodesBothPartsAlsoWhenZero) {
  EXPECT_EQ(Coordinate(0.0, 0.0).encode(), nlohmann::json::parse(R"({"lat":0.0,"lng":0.0})"));
  EXPECT_EQ(Coordinate(48.85, -2.5).encode(), nlohmann::json::parse(R"({"lat":48.85,"lng":-2.5})"));
}

TEST(CoordinateBoundsRecord, NeedsBothValidCorners) {
  auto bounds =
      CoordinateBounds::decode(R"({"southwest":{"lat":3,"lng":4},"northeast":{"lat":1,"lng":2}})");
  ASSERT_TRUE(bounds);
  EXPECT_EQ(bounds->northeast.lat, 1.0);
  EXPECT_EQ(bounds->northeast.lng, 2.0);
  EXPECT_EQ(bounds->southwest.lat, 3.0);
  EXPECT_EQ(bounds->southwest.lng, 4.0);

  Error error;
  EXPECT_FALSE(CoordinateBounds::decode(R"({"northeast":{"lat":1,"lng":2}})", &error));
  EXPECT_EQ(error.code, codeOf(DecodingErrorCode::keyNotFound));
  EXPECT_EQ(error.userInfo["codingPath"], "southwest");
  EXPECT_FALSE(
      CoordinateBounds::decode(R"({"northeast":null,"southwest":{"lat":1,"lng":2}})", &error));
  EXPECT_EQ(error.code, codeOf(DecodingErrorCode::valueNotFound));
  EXPECT_EQ(error.userInfo["codingPath"], "northeast");

  EXPECT_EQ(siteFailure(R"({"viewport":{"northeast":{"lat":1,"lng":2},"southwest":{"lat":1}}})")
                .userInfo["codingPath"],
            "site.viewport.southwest.lng");
}

// --- Word and AutoCompletePrediction -----------------------------------------------------------

TEST(WordRecord, DecodesOptionalPartsAndRejectsNonIntegerOffsets) {
  auto empty = Word::decode("{}");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->offset);
  EXPECT_FALSE(empty->value);

  auto word = Word::decode(R"({"value":"Café","offset":3.0,"length":4})");
  ASSERT_TRUE(word);
  EXPECT_EQ(word->offset, 3);
  EXPECT_EQ(word->value, "Café");

  Error error;
  EXPECT_FALSE(Word::decode(R"({"offset":3.5})", &error));
  EXPECT_EQ(error.code, codeOf(DecodingErrorCode::dataCorrupted));
  EXPECT_FALSE(Word::decode(R"({"offset":"3"})", &error));
  EXPECT_EQ(error.code, codeOf(DecodingErrorCode::typeMismatch));
  EXPECT_EQ(error.userInfo["codingPath"], "offset");
}

TEST(WordRecord, EncodesOnlyPresentParts) {
  Word onlyValue;
  onlyValue.value = "Paris";
  EXPECT_EQ(onlyValue.encode(), nlohmann::json::parse(R"({"value":"Paris"})"));
  EXPECT_EQ(Word{}.encode(), nlohmann::json::object());
  EXPECT_EQ((Word{0, ""}).encode(), nlohmann::json::parse(R"({"offset":0,"value":""})"));
}

TEST(AutoCompletePredictionRecord, RequiresBothListsButAllowsThemEmpty) {
  auto prediction = AutoCompletePrediction::decode(
      R"({"description":"Paris","matchedKeywords":[],"matchedWords":[{"offset":0}]})");
  ASSERT_TRUE(prediction);
  EXPECT_EQ(prediction->description, "Paris");
  EXPECT_TRUE(prediction->matchedKeywords.empty());
  ASSERT_EQ(prediction->matchedWords.size(), 1u);
  EXPECT_EQ(prediction->matchedWords[0].offset, 0);

  struct Case {
    const char* json;
    DecodingErrorCode code;
    const char* path;
  };
  for (const Case& c :
       {Case{R"({"description":"Paris"})", DecodingErrorCode::keyNotFound, "matchedKeywords"},
        Case{R"({"matchedKeywords":[]})", DecodingErrorCode::keyNotFound, "matchedWords"},
        Case{R"({"matchedKeywords":null,"matchedWords":[]})", DecodingErrorCode::valueNotFound,
             "matchedKeywords"},
        Case{R"({"matchedKeywords":{},"matchedWords":[]})", DecodingErrorCode::typeMismatch,
             "matchedKeywords"},
        Case{R"({"matchedKeywords":[],"matchedWords":[{"value":1}]})",
             DecodingErrorCode::typeMismatch, "matchedWords.0.value"},
        Case{R"({"description":7,"matchedKeywords":[]})", DecodingErrorCode::typeMismatch,
             "description"}}) {
    SCOPED_TRACE(c.json);
    Error error;
    EXPECT_FALSE(AutoCompletePrediction::decode(c.json, &error));
    EXPECT_EQ(error.code, codeOf(c.code));
    EXPECT_EQ(error.userInfo["codingPath"], c.path);
  }
  // Inside a site the same rule fails the whole reply.
  EXPECT_EQ(siteFailure(R"({"prediction":{"matchedKeywords":[]}})").userInfo["codingPath"],
            "site.prediction.matchedWords");
}

TEST(AutoCompletePredictionRecord, EncodingAlwaysWritesBothListsAndSurvivesARoundTrip) {
  EXPECT_EQ(AutoCompletePrediction{}.encode(),
            nlohmann::json::parse(R"({"matchedKeywords":[],"matchedWords":[]})"));

  AutoCompletePrediction prediction;
  prediction.description = "Café de la Paix";
  prediction.matchedKeywords = {Word{0, "Café"}};
  prediction.matchedWords = {Word{0, "Café"}, Word{std::nullopt, "Paix"}};
  const nlohmann::json encoded = prediction.encode();
  EXPECT_EQ(encoded, nlohmann::json::parse(
                         R"({"description":"Café de la Paix",
                             "matchedKeywords":[{"offset":0,"value":"Café"}],
                             "matchedWords":[{"offset":0,"value":"Café"},{"value":"Paix"}]})"));
  auto decoded = AutoCompletePrediction::decode(encoded.dump());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->encode(), encoded);
}

// --- AddressDetail -----------------------------------------------------------------------------

TEST(AddressDetailRecord, EveryKeyFillsItsOwnMember) {
  auto site = decodeSite(R"({"address":{
      "postalCode":"75009","streetNumber":"5","thoroughfare":"Place de l'Opéra",
      "subLocality":"9e Arrondissement","locality":"Paris","tertiaryAdminArea":"T",
      "subAdminArea":"Paris","adminArea":"Île-de-France","country":"France","countryCode":"FR",
      "city":"ignored","Locality":"ignored"}})");
  ASSERT_TRUE(site && site->address);
  const AddressDetail& a = *site->address;
  EXPECT_EQ(a.countryCode, "FR");
  EXPECT_EQ(a.country, "France");
  EXPECT_EQ(a.adminArea, "Île-de-France");
  EXPECT_EQ(a.subAdminArea, "Paris");
  EXPECT_EQ(a.tertiaryAdminArea, "T");
  EXPECT_EQ(a.locality, "Paris");
  EXPECT_EQ(a.subLocality, "9e Arrondissement");
  EXPECT_EQ(a.thoroughfare, "Place de l'Opéra");
  EXPECT_EQ(a.streetNumber, "5");
  EXPECT_EQ(a.postalCode, "75009");
}

TEST(AddressDetailRecord, NumericPostalCodeFailsAndNullCountryIsEmpty) {
  const Error error = siteFailure(R"({"address":{"country":"France","postalCode":75009}})");
  EXPECT_EQ(error.code, codeOf(DecodingErrorCode::typeMismatch));
  EXPECT_EQ(error.userInfo.at("codingPath"), "site.address.postalCode");

  auto site = decodeSite(R"({"address":{"country":null,"locality":"Paris"}})");
  ASSERT_TRUE(site && site->address);
  EXPECT_FALSE(site->address->country);
  EXPECT_EQ(site->address->locality, "Paris");
}

// --- Poi and ChildrenNode ----------------------------------------------------------------------

TEST(PoiRecord, EveryKeyFillsItsOwnMember) {
  auto site = decodeSite(R"({"poi":{
      "poiTypes":["CAFE","CAFE","RESTAURANT"],"ovPoiTypes":["EATING_DRINKING"],
      "phone":"01 40 07 36 36","internationalPhone":"+33 1 40 07 36 36","rating":4,
      "websiteUrl":"https://example.fr","openingHours":{"texts":["Mon: 08:00-20:00"]},
      "photoUrls":["https://example.fr/1.jpg"],"priceLevel":3.0,"businessStatus":"OPEN",
      "childrenNodes":[{"siteId":"C1","name":"Entrance","formatAddress":"1 Rue X",
                        "location":{"lat":1,"lng":2},"ovPoiTypes":["ENTRANCE"],
                        "domeAndInt":"D","depAndArr":"A","poiTypes":["IGNORED"]}]}})");
  ASSERT_TRUE(site && site->poi);
  const Poi& poi = *site->poi;
  EXPECT_EQ(poi.poiTypes, (Strings{"CAFE", "CAFE", "RESTAURANT"}));  // order and duplicates kept
  EXPECT_EQ(poi.ovPoiTypes, Strings{"EATING_DRINKING"});
  EXPECT_EQ(poi.phone, "01 40 07 36 36");
  EXPECT_EQ(poi.internationalPhone, "+33 1 40 07 36 36");
  EXPECT_EQ(poi.rating, 4.0);
  EXPECT_EQ(poi.websiteUrl, "https://example.fr");
  ASSERT_NE(poi.openingHours, nullptr);
  EXPECT_EQ(poi.openingHours->texts, Strings{"Mon: 08:00-20:00"});
  EXPECT_FALSE(poi.openingHours->periods);
  EXPECT_EQ(poi.photoUrls, Strings{"https://example.fr/1.jpg"});
  EXPECT_EQ(poi.priceLevel, 3);
  EXPECT_EQ(poi.businessStatus, "OPEN");
  ASSERT_TRUE(poi.childrenNodes);
  ASSERT_EQ(poi.childrenNodes->size(), 1u);
  const ChildrenNode& child = *poi.childrenNodes->at(0);
  EXPECT_EQ(child.siteId, "C1");
  EXPECT_EQ(child.name, "Entrance");
  EXPECT_EQ(child.formatAddress, "1 Rue X");
  ASSERT_TRUE(child.location);
  EXPECT_EQ(child.location->lat, 1.0);
  EXPECT_EQ(child.location->lng, 2.0);
  EXPECT_EQ(child.ovPoiTypes, Strings{"ENTRANCE"});
  EXPECT_EQ(child.domeAndInt, "D");
  EXPECT_EQ(child.depAndArr, "A");
}

TEST(PoiRecord, WrongKindsFailAtTheirPath) {
  struct Case {
    const char* poi;
    DecodingErrorCode code;
    const char* path;
  };
  for (const Case& c : {
           Case{R"({"poiTypes":"CAFE"})", DecodingErrorCode::typeMismatch, "site.poi.poiTypes"},
           Case{R"({"ovPoiTypes":["A",1]})", DecodingErrorCode::typeMismatch,
                "site.poi.ovPoiTypes.1"},
           Case{R"({"priceLevel":2.5})", DecodingErrorCode::dataCorrupted, "site.poi.priceLevel"},
           Case{R"({"rating":"4.5"})", DecodingErrorCode::typeMismatch, "site.poi.rating"},
           Case{R"({"businessStatus":1})", DecodingErrorCode::typeMismatch,
                "site.poi.businessStatus"},
           Case{R"({"openingHours":[]})", DecodingErrorCode::typeMismatch, "site.poi.openingHours"},
           Case{R"({"childrenNodes":["C1"]})", DecodingErrorCode::typeMismatch,
                "site.poi.childrenNodes.0"},
           Case{R"({"childrenNodes":{}})", DecodingErrorCode::typeMismatch,
                "site.poi.childrenNodes"},
           Case{R"({"childrenNodes":[{"location":{"lat":1}}]})", DecodingErrorCode::keyNotFound,
                "site.poi.childrenNodes.0.location.lng"},
       }) {
    SCOPED_TRACE(c.poi);
    const Error error = siteFailure(std::string(R"({"poi":)") + c.poi + "}");
    EXPECT_EQ(error.code, codeOf(c.code));
    EXPECT_EQ(error.userInfo.at("codingPath"), c.path);
  }
}

// --- OpeningHours, Period, TimeOfWeek ----------------------------------------------------------

TEST(OpeningHoursRecord, PeriodsKeepOrderAndMissingEndsStayEmpty) {
  auto site = decodeSite(R"({"poi":{"openingHours":{"texts":[],"periods":[
      {"open":{"week":1,"time":"0800"},"close":{"week":1,"time":"2000"}},
      {"open":{"week":6,"time":"10h"}},
      {}]}}})");
  ASSERT_TRUE(site && site->poi && site->poi->openingHours);
  const OpeningHours& hours = *site->poi->openingHours;
  EXPECT_EQ(hours.texts, Strings{});  // present and empty
  ASSERT_TRUE(hours.periods);
  ASSERT_EQ(hours.periods->size(), 3u);
  const Period& first = *hours.periods->at(0);
  ASSERT_TRUE(first.open && first.close);
  EXPECT_EQ(first.open->week, 1);
  EXPECT_EQ(first.open->time, "0800");
  EXPECT_EQ(first.close->time, "2000");
  const Period& second = *hours.periods->at(1);
  EXPECT_EQ(second.open->time, "10h");  // stored as sent
  EXPECT_EQ(second.close, nullptr);
  EXPECT_EQ(hours.periods->at(2)->open, nullptr);
}

TEST(OpeningHoursRecord, WrongKindsFailAtTheirPath) {
  struct Case {
    const char* hours;
    DecodingErrorCode code;
    const char* path;
  };
  const std::string base = "site.poi.openingHours.";
  for (const Case& c : {
           Case{R"({"periods":[{"open":{"week":"1"}}]})", DecodingErrorCode::typeMismatch,
                "periods.0.open.week"},
           Case{R"({"periods":[{"open":{"week":1.5}}]})", DecodingErrorCode::dataCorrupted,
                "periods.0.open.week"},
           Case{R"({"periods":[{},{"close":{"time":800}}]})", DecodingErrorCode::typeMismatch,
                "periods.1.close.time"},
           Case{R"({"periods":[{"open":"0800"}]})", DecodingErrorCode::typeMismatch,
                "periods.0.open"},
           Case{R"({"texts":"Mon"})", DecodingErrorCode::typeMismatch, "texts"},
           Case{R"({"texts":[null]})", DecodingErrorCode::valueNotFound, "texts.0"},
       }) {
    SCOPED_TRACE(c.hours);
    const Error error = siteFailure(std::string(R"({"poi":{"openingHours":)") + c.hours + "}}");
    EXPECT_EQ(error.code, codeOf(c.code));
    EXPECT_EQ(error.userInfo.at("codingPath"), base + c.path);
  }
}

// --- Site --------------------------------------------------------------------------------------

TEST(SiteRecord, EveryKeyFillsItsOwnMember) {
  auto site = decodeSite(R"({
      "siteId":"S1","name":"Café de la Paix","formatAddress":"5 Place de l'Opéra, Paris",
      "address":{"locality":"Paris"},"location":{"lat":48.87,"lng":2.33},
      "viewport":{"northeast":{"lat":49,"lng":3},"southwest":{"lat":48,"lng":2}},
      "distance":250,"poi":{},"prediction":{"matchedKeywords":[],"matchedWords":[]},
      "utcOffset":60,"siteID":"ignored"})");
  ASSERT_TRUE(site);
  EXPECT_EQ(site->siteId, "S1");
  EXPECT_EQ(site->name, "Café de la Paix");
  EXPECT_EQ(site->formatAddress, "5 Place de l'Opéra, Paris");
  ASSERT_NE(site->address, nullptr);
  EXPECT_EQ(site->address->locality, "Paris");
  ASSERT_TRUE(site->location);
  EXPECT_EQ(site->location->lat, 48.87);
  ASSERT_TRUE(site->viewport);
  EXPECT_EQ(site->viewport->southwest.lat, 48.0);
  EXPECT_EQ(site->distance, 250.0);
  ASSERT_NE(site->poi, nullptr);  // an empty object is a Poi with empty fields
  EXPECT_FALSE(site->poi->poiTypes);
  ASSERT_TRUE(site->prediction);
  EXPECT_FALSE(site->prediction->description);
  EXPECT_EQ(site->utcOffset, 60);
}

TEST(SiteRecord, WrongKindsFailAtTheirPath) {
  struct Case {
    const char* site;
    DecodingErrorCode code;
    const char* path;
  };
  for (const Case& c : {
           Case{R"({"siteId":123})", DecodingErrorCode::typeMismatch, "site.siteId"},
           Case{R"({"utcOffset":1.5})", DecodingErrorCode::dataCorrupted, "site.utcOffset"},
           Case{R"({"utcOffset":"480"})", DecodingErrorCode::typeMismatch, "site.utcOffset"},
           Case{R"({"distance":{}})", DecodingErrorCode::typeMismatch, "site.distance"},
           Case{R"({"address":"Paris"})", DecodingErrorCode::typeMismatch, "site.address"},
           Case{R"({"location":{"lat":true,"lng":1}})", DecodingErrorCode::typeMismatch,
                "site.location.lat"},
           Case{R"("S1")", DecodingErrorCode::typeMismatch, "site"},
       }) {
    SCOPED_TRACE(c.site);
    const Error error = siteFailure(c.site);
    EXPECT_EQ(error.code, codeOf(c.code));
    EXPECT_EQ(error.userInfo.at("codingPath"), c.path);
  }
}

}  // namespace
}  // namespace orvane::site
