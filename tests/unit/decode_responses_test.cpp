// The nine response records: their own keys, the envelope read from the same object, and whole
// replies (the 20-site fixture and a generated 1 MiB reply).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/decode.h"
#include "support/ReplyFixtures.h"

namespace orvane::site {
namespace {

std::int64_t codeOf(DecodingErrorCode code) { return static_cast<std::int64_t>(code); }

// --- The envelope, for every response type -----------------------------------------------------

template <class T>
class EveryResponse : public ::testing::Test {};

using ResponseTypes =
    ::testing::Types<BaseResponse, TextSearchResponse, NearbySearchResponse, DetailSearchResponse,
                     QuerySuggestionResponse, QueryAutocompleteResponse, GeocodeResponse,
                     ReverseGeocodeResponse, TimezoneResponse>;
struct ResponseName {
  template <class T>
  static std::string GetName(int index) {
    static const char* const kNames[] = {
        "BaseResponse",         "TextSearchResponse",      "NearbySearchResponse",
        "DetailSearchResponse", "QuerySuggestionResponse", "QueryAutocompleteResponse",
        "GeocodeResponse",      "ReverseGeocodeResponse",  "TimezoneResponse"};
    return kNames[index];
  }
};
TYPED_TEST_SUITE(EveryResponse, ResponseTypes, ResponseName);

TYPED_TEST(EveryResponse, ReadsTheEnvelopeAsReceived) {
  auto result = decode<TypeParam>(
      R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST","ReturnCode":"x","extra":1})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->returnCode, "010001");
  EXPECT_EQ(result.value()->returnDesc, "INVALID_REQUEST");

  auto empty = decode<TypeParam>("{}");
  ASSERT_TRUE(empty.ok());
  EXPECT_FALSE(empty.value()->returnCode);
  EXPECT_FALSE(empty.value()->returnDesc);

  auto nullCode = decode<TypeParam>(R"({"returnCode":null,"returnDesc":""})");
  ASSERT_TRUE(nullCode.ok());
  EXPECT_FALSE(nullCode.value()->returnCode);
  EXPECT_EQ(nullCode.value()->returnDesc, "");
}

TYPED_TEST(EveryResponse, RejectsANonTextEnvelope) {
  for (const char* json : {R"({"returnCode":0})", R"({"returnDesc":["OK"]})",
                           R"({"returnCode":"0","returnDesc":false})"}) {
    SCOPED_TRACE(json);
    auto result = decode<TypeParam>(json);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, codeOf(DecodingErrorCode::typeMismatch));
  }
}

// --- Own keys of each response -----------------------------------------------------------------

TEST(SearchResponses, DistinguishEmptyFromAbsentLists) {
  auto empty = decode<TextSearchResponse>(R"({"sites":[],"totalCount":0})");
  auto absent = decode<NearbySearchResponse>(R"({"totalCount":null})");
  ASSERT_TRUE(empty.ok());
  ASSERT_TRUE(absent.ok());
  ASSERT_TRUE(empty.value()->sites);
  EXPECT_TRUE(empty.value()->sites->empty());
  EXPECT_EQ(empty.value()->totalCount, 0);
  EXPECT_FALSE(absent.value()->sites);
  EXPECT_FALSE(absent.value()->totalCount);
}

TEST(SearchResponses, EachReadsItsSitesList) {
  const std::string reply = R"({"sites":[{"name":"a"},{"name":"b"}],"totalCount":2})";
  const auto names = [](const auto& result) {
    std::vector<std::string> found;
    if (result.ok() && result.value()->sites) {
      for (const auto& site : *result.value()->sites) found.push_back(site->name.value_or("?"));
    }
    return found;
  };
  const std::vector<std::string> expected = {"a", "b"};
  EXPECT_EQ(names(decode<TextSearchResponse>(reply)), expected);
  EXPECT_EQ(names(decode<NearbySearchResponse>(reply)), expected);
  EXPECT_EQ(names(decode<QuerySuggestionResponse>(reply)), expected);
  EXPECT_EQ(names(decode<QueryAutocompleteResponse>(reply)), expected);
  EXPECT_EQ(names(decode<GeocodeResponse>(reply)), expected);
  EXPECT_EQ(names(decode<ReverseGeocodeResponse>(reply)), expected);
  EXPECT_EQ(decode<NearbySearchResponse>(reply).value()->totalCount, 2);
}

TEST(SearchResponses, OwnFaultsComeBeforeTheEnvelopeAndFailTheWholeReply) {
  auto result = decode<GeocodeResponse>(R"({"returnCode":1,"sites":[{"siteId":1}]})");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().userInfo.at("codingPath"), "sites.0.siteId");
  EXPECT_EQ(result.value(), nullptr);

  auto count = decode<TextSearchResponse>(R"({"totalCount":"20","returnCode":"0"})");
  ASSERT_FALSE(count.ok());
  EXPECT_EQ(count.error().userInfo.at("codingPath"), "totalCount");
}

TEST(SearchResponses, EnvelopeKeysInsideNestedObjectsAreNotRead) {
  auto result = decode<ReverseGeocodeResponse>(
      R"({"sites":[{"returnCode":"nested","returnDesc":"nested"}],"data":{"returnCode":"x"}})");
  ASSERT_TRUE(result.ok());
  EXPECT_FALSE(result.value()->returnCode);
  EXPECT_FALSE(result.value()->returnDesc);
}

TEST(DetailSearchResponseTest, ReadsOneSiteAndIgnoresASitesList) {
  auto one = decode<DetailSearchResponse>(R"({"site":{"siteId":"S1"},"returnCode":"0"})");
  ASSERT_TRUE(one.ok());
  ASSERT_NE(one.value()->site, nullptr);
  EXPECT_EQ(one.value()->site->siteId, "S1");

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
  ASSERT_TRUE(result.ok());
  ASSERT_TRUE(result.value()->predictions);
  ASSERT_EQ(result.value()->predictions->size(), 1u);
  EXPECT_EQ(result.value()->predictions->at(0).description, "Paris");
  ASSERT_TRUE(result.value()->sites);
  EXPECT_TRUE(result.value()->sites->empty());

  // Both lists are faulty; "sites" is read first although it comes last.
  auto both = decode<QueryAutocompleteResponse>(
      R"({"predictions":[{"description":"Paris"}],"sites":[{"name":5}]})");
  ASSERT_FALSE(both.ok());
  EXPECT_EQ(both.error().userInfo.at("codingPath"), "sites.0.name");

  auto missingWords = decode<QueryAutocompleteResponse>(
      R"({"predictions":[{"description":"Paris","matchedKeywords":[]}]})");
  ASSERT_FALSE(missingWords.ok());
  EXPECT_EQ(missingWords.error().code, codeOf(DecodingErrorCode::keyNotFound));
  EXPECT_EQ(missingWords.error().userInfo.at("codingPath"), "predictions.0.matchedWords");
}

TEST(TimezoneResponseTest, ReadsOffsetsAndNames) {
  auto result = decode<TimezoneResponse>(
      R"({"dstOffset":3600.0,"rawOffset":3600,"timeZoneId":"Europe/Paris",
          "timeZoneName":"Central European Summer Time","returnCode":"0"})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->dstOffset, 3600);
  EXPECT_EQ(result.value()->rawOffset, 3600);
  EXPECT_EQ(result.value()->timeZoneId, "Europe/Paris");
  EXPECT_EQ(result.value()->timeZoneName, "Central European Summer Time");
  EXPECT_EQ(result.value()->returnCode, "0");
}

// --- Whole replies -----------------------------------------------------------------------------

TEST(FixtureReply, TwentySitesDecodeCompletely) {
  const std::string json = testing::readFixture("text_search_20_sites.json");
  auto result = decode<TextSearchResponse>(json);
  ASSERT_TRUE(result.ok()) << result.error().userInfo.at("codingPath") << ": "
                           << result.error().userInfo.at("debugDescription");
  const TextSearchResponse& reply = *result.value();
  EXPECT_EQ(reply.returnCode, "0");
  EXPECT_EQ(reply.returnDesc, "OK");
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
    ASSERT_TRUE(site->poi->openingHours->periods && site->poi->openingHours->texts);
    EXPECT_FALSE(site->poi->openingHours->periods->empty());
    ASSERT_TRUE(site->poi->childrenNodes);
    EXPECT_FALSE(site->poi->childrenNodes->empty());
  }

  // Texts beyond ASCII come through as sent.
  EXPECT_EQ(reply.sites->at(0)->name, "Café de la Paix");
  EXPECT_EQ(reply.sites->at(2)->address->country, "日本");
  EXPECT_EQ(reply.sites->at(0)->poi->openingHours->texts->at(0), "Sunday: 08:00–20:00");
}

}  // namespace
}  // namespace orvane::site
