// The strict decoding rules shared by every record: kinds, numbers, nulls, key order, key paths,
// and what hostile input does. Records are reached through TimezoneResponse and
// DetailSearchResponse, whose fields cover every kind of value.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/decode.h"

namespace orvane::site {
namespace {

constexpr std::int64_t kTypeMismatch = static_cast<std::int64_t>(DecodingErrorCode::typeMismatch);
constexpr std::int64_t kValueNotFound = static_cast<std::int64_t>(DecodingErrorCode::valueNotFound);
constexpr std::int64_t kDataCorrupted = static_cast<std::int64_t>(DecodingErrorCode::dataCorrupted);

/// The coding path of the failure to decode `json` as T, or "<decoded>".
template <class T>
std::string failurePath(const std::string& json) {
  auto result = decode<T>(json);
  return result.ok() ? "<decoded>" : result.error().userInfo.at("codingPath");
}

/// The code and coding path of the failure to decode `json` as T, as "code path".
template <class T>
std::string faultOf(const std::string& json) {
  auto result = decode<T>(json);
  return result.ok() ? "<decoded>"
                     : std::to_string(result.error().code) + " " + failurePath<T>(json);
}
std::string fault(std::int64_t code, const std::string& path) {
  return std::to_string(code) + " " + path;
}

std::string rawOffsetReply(const std::string& number) { return R"({"rawOffset":)" + number + "}"; }

// --- Numbers and texts: each kind takes only its own JSON values --------------------------------

TEST(DecodeKinds, IntegersAreWholeNumbersInAnyJsonForm) {
  const auto expectValue = [](std::int64_t value, std::initializer_list<const char*> jsons) {
    for (const char* json : jsons) {
      auto result = decode<TimezoneResponse>(rawOffsetReply(json));
      ASSERT_TRUE(result.ok()) << json;
      EXPECT_EQ(result.value()->rawOffset, value) << json;
    }
  };
  expectValue(3600, {"3600", "3600.0", "3.6e3", "36E2"});
  expectValue(0, {"-0", "-0.0"});
  expectValue(-3600, {"-3600"});
  expectValue(INT64_MAX, {"9223372036854775807"});
  expectValue(INT64_MIN, {"-9223372036854775808", "-9.223372036854775808e18"});
  for (const char* json : {"3600.5", "1e-1", "9223372036854775808", "18446744073709551615",
                           "9.3e18", "-9.3e18", "1e300"}) {
    EXPECT_EQ(faultOf<TimezoneResponse>(rawOffsetReply(json)), fault(kDataCorrupted, "rawOffset"))
        << json;
  }
  for (const char* json : {R"("3600")", "true", "[3600]", R"({"value":3600})"}) {
    EXPECT_EQ(faultOf<TimezoneResponse>(rawOffsetReply(json)), fault(kTypeMismatch, "rawOffset"))
        << json;
  }
}

TEST(DecodeKinds, TextsTakeOnlyStringsAndKeepEscapesEmbeddedNulAndUnicode) {
  for (const char* json : {"42", "true", "[]", "{}", "[\"a\"]"}) {
    EXPECT_EQ(faultOf<TimezoneResponse>(std::string(R"({"timeZoneId":)") + json + "}"),
              fault(kTypeMismatch, "timeZoneId"));
  }
  auto result = decode<TimezoneResponse>(
      R"({"timeZoneId":"A\u0000B \"q\" \\ \u00e9\ud83d\ude00","timeZoneName":""})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(*result.value()->timeZoneId, std::string("A\0B \"q\" \\ \xC3\xA9\xF0\x9F\x98\x80", 16));
  EXPECT_EQ(result.value()->timeZoneName, "");  // present and empty, not absent
}

TEST(DecodeKinds, DoublesTakeAnyNumberAndOnlyNumbers) {
  for (const auto& [json, expected] : {std::pair<const char*, double>{"-1", -1.0},
                                       {"4.25", 4.25},
                                       {"1e3", 1000.0},
                                       {"18446744073709551615", 18446744073709551615.0}}) {
    auto result =
        decode<DetailSearchResponse>(std::string(R"({"site":{"distance":)") + json + "}}");
    ASSERT_TRUE(result.ok()) << json;
    EXPECT_EQ(result.value()->site->distance, expected) << json;
  }
  for (const char* json : {"\"250\"", "false", "[250]", "{}"}) {
    EXPECT_EQ(faultOf<DetailSearchResponse>(std::string(R"({"site":{"distance":)") + json + "}}"),
              fault(kTypeMismatch, "site.distance"));
  }
}

// --- Absent, null, present-empty ---------------------------------------------------------------

TEST(DecodePresence, AbsentAndNullLeaveFieldsEmptyWhilePresentEmptyValuesAreKept) {
  for (const char* json : {R"({"site":{}})", R"({"site":{"name":null,"poi":null,"location":null,)"
                                             R"("prediction":null,"utcOffset":null}})"}) {
    auto result = decode<DetailSearchResponse>(json);
    ASSERT_TRUE(result.ok()) << json;
    const Site& site = *result.value()->site;
    EXPECT_TRUE(!site.name && !site.poi && !site.location && !site.prediction && !site.utcOffset)
        << json;
  }
  auto empty = decode<DetailSearchResponse>(
      R"({"site":{"name":"","poi":{"poiTypes":[],"childrenNodes":[]},"utcOffset":0}})");
  ASSERT_TRUE(empty.ok());
  const Site& site = *empty.value()->site;
  EXPECT_EQ(site.name, "");
  ASSERT_NE(site.poi, nullptr);
  EXPECT_EQ(site.poi->poiTypes, std::vector<std::string>{});
  ASSERT_TRUE(site.poi->childrenNodes);
  EXPECT_TRUE(site.poi->childrenNodes->empty());
  EXPECT_FALSE(site.poi->ovPoiTypes);
  EXPECT_EQ(site.utcOffset, 0);
}

TEST(DecodePresence, NullElementsOfListsAreFaults) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"sites":[{},null]})", "sites.1"},
      {R"({"sites":[{"poi":{"photoUrls":["a",null]}}]})", "sites.0.poi.photoUrls.1"},
      {R"({"sites":[{"poi":{"openingHours":{"periods":[null]}}}]})",
       "sites.0.poi.openingHours.periods.0"},
      {R"({"sites":[{"poi":{"childrenNodes":[{},{},null]}}]})", "sites.0.poi.childrenNodes.2"},
      {R"({"sites":[{"prediction":{"matchedKeywords":[null],"matchedWords":[]}}]})",
       "sites.0.prediction.matchedKeywords.0"}};
  for (const auto& [json, path] : cases) {
    EXPECT_EQ(faultOf<TextSearchResponse>(json), fault(kValueNotFound, path));
  }
}

// --- Keys: exact matching, key order, repeated keys --------------------------------------------

TEST(DecodeKeys, UnknownAndCaseDifferentKeysAreIgnored) {
  auto result = decode<TimezoneResponse>(
      R"({"RawOffset":"x","rawoffset":true,"raw_offset":[1],"rawOffset ":{},"extra":{"a":[1,{}]},)"
      R"("rawOffset":7})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->rawOffset, 7);
  EXPECT_FALSE(result.value()->dstOffset);
}

TEST(DecodeKeys, TheFirstFaultInKeyOrderIsReportedWhateverTheMemberOrder) {
  // Members deliberately listed against key order; most objects hold several faults.
  EXPECT_EQ(failurePath<TimezoneResponse>(
                R"({"timeZoneName":1,"timeZoneId":2,"rawOffset":"3","dstOffset":0.5})"),
            "dstOffset");
  EXPECT_EQ(failurePath<TimezoneResponse>(R"({"returnCode":1,"timeZoneName":1})"),
            "timeZoneName");  // own keys before the envelope
  EXPECT_EQ(failurePath<DetailSearchResponse>(R"({"site":{"utcOffset":1.5,"name":2,"siteId":3}})"),
            "site.siteId");
  EXPECT_EQ(
      failurePath<DetailSearchResponse>(R"({"site":{"address":{"subLocality":1,"locality":2}}})"),
      "site.address.locality");
  EXPECT_EQ(failurePath<DetailSearchResponse>(R"({"site":{"location":{"lng":"x"}}})"),
            "site.location.lat");
  EXPECT_EQ(failurePath<DetailSearchResponse>(
                R"({"site":{"poi":{"childrenNodes":[{"depAndArr":1,"location":{}}]}}})"),
            "site.poi.childrenNodes.0.location.lat");
  EXPECT_EQ(failurePath<TextSearchResponse>(
                R"({"sites":[{"name":"ok"},{"poi":{"rating":"x"},"name":1}],"totalCount":"x"})"),
            "totalCount");
}

TEST(DecodeKeys, ARepeatedKeyTakesItsLastValue) {
  auto lastValid = decode<TimezoneResponse>(R"({"timeZoneId":1,"timeZoneId":"Europe/Paris"})");
  auto lastNull = decode<TimezoneResponse>(R"({"timeZoneId":"Europe/Paris","timeZoneId":null})");
  ASSERT_TRUE(lastValid.ok() && lastNull.ok());
  EXPECT_EQ(lastValid.value()->timeZoneId, "Europe/Paris");
  EXPECT_FALSE(lastNull.value()->timeZoneId);
  EXPECT_EQ(failurePath<TimezoneResponse>(R"({"timeZoneId":"Europe/Paris","timeZoneId":1})"),
            "timeZoneId");
}

// --- The Error handed out ----------------------------------------------------------------------

TEST(DecodeError, CarriesCodeDescriptionAndDeepPath) {
  auto result = decode<TextSearchResponse>(
      R"({"sites":[{},{},{},{"poi":{"openingHours":{"periods":[{"open":{"week":"1"}}]}}}]})");
  ASSERT_FALSE(result.ok());
  const Error& error = result.error();
  EXPECT_EQ(error.code, kTypeMismatch);
  EXPECT_EQ(error.userInfo.at("codingPath"), "sites.3.poi.openingHours.periods.0.open.week");
  EXPECT_NE(error.userInfo.at("debugDescription").find("string"), std::string::npos);
  EXPECT_FALSE(error.localizedDescription.empty());
  EXPECT_EQ(result.value(), nullptr);
}

// --- Hostile input: always an Error, never a crash ---------------------------------------------

struct HostileCase {
  std::string name;
  std::string json;
  std::int64_t code;
  std::string path;
};

std::vector<HostileCase> hostileCases() {
  std::string manyNulls = R"({"sites":[)";
  for (int i = 0; i < 200000; ++i) manyNulls += i == 0 ? "null" : ",null";
  manyNulls += "]}";
  return {
      {"Empty", "", kDataCorrupted, ""},
      {"Whitespace", " \n\t ", kDataCorrupted, ""},
      {"Truncated", R"({"sites":[{"name":"a")", kDataCorrupted, ""},
      {"TrailingGarbage", R"({"sites":[]} x)", kDataCorrupted, ""},
      {"TwoDocuments", "{}{}", kDataCorrupted, ""},
      {"TrailingNul", std::string("{}\0", 3), kDataCorrupted, ""},
      {"InvalidUtf8InValue", "{\"returnDesc\":\"\xC3\x28\"}", kDataCorrupted, ""},
      {"InvalidUtf8InKey", "{\"\xFF\":1}", kDataCorrupted, ""},
      {"OverlongUtf8", "{\"returnDesc\":\"\xC0\xAF\"}", kDataCorrupted, ""},
      {"LoneSurrogateEscape", R"({"returnDesc":"\ud800"})", kDataCorrupted, ""},
      {"RawControlCharacter", "{\"returnDesc\":\"a\nb\"}", kDataCorrupted, ""},
      {"NaNLiteral", R"({"totalCount":NaN})", kDataCorrupted, ""},
      {"TenThousandDigitNumber", R"({"totalCount":)" + std::string(10000, '9') + "}",
       kDataCorrupted, ""},
      {"NumberBeyondDouble", R"({"totalCount":1e400})", kDataCorrupted, ""},
      {"DeepNesting", std::string(2000, '[') + std::string(2000, ']'), kDataCorrupted, ""},
      {"DeepNestingInUnknownMember",
       R"({"x":)" + std::string(2000, '[') + std::string(2000, ']') + "}", kDataCorrupted, ""},
      {"TopLevelArray", "[]", kTypeMismatch, ""},
      {"TopLevelString", R"("sites")", kTypeMismatch, ""},
      {"TopLevelNumber", "200", kTypeMismatch, ""},
      {"TopLevelNull", "null", kValueNotFound, ""},
      {"HugeListOfNulls", manyNulls, kValueNotFound, "sites.0"},
  };
}

TEST(HostileInput, FailsCleanly) {
  for (const HostileCase& c : hostileCases()) {
    SCOPED_TRACE(c.name);
    auto result = decode<TextSearchResponse>(c.json);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().domain, "OrvaneSite.DecodingError");
    EXPECT_EQ(result.error().code, c.code);
    EXPECT_EQ(result.error().userInfo.at("codingPath"), c.path);
    EXPECT_FALSE(result.error().userInfo.at("debugDescription").empty());
    if (c.path.empty()) {  // a fault of the reply as a whole fails the bare envelope as well
      auto envelope = decode<BaseResponse>(c.json);
      ASSERT_FALSE(envelope.ok());
      EXPECT_EQ(envelope.error().code, c.code);
    }
  }
}

TEST(HostileInput, ModerateNestingInUnknownMembersIsIgnored) {
  const std::string nested = std::string(500, '[') + std::string(500, ']');
  auto result = decode<TimezoneResponse>(R"({"x":)" + nested + R"(,"rawOffset":1})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->rawOffset, 1);
}

TEST(HostileInput, ADefaultStringViewIsAnEmptyReply) {
  auto result = decode<BaseResponse>(std::string_view());
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, kDataCorrupted);
}

TEST(HostileInput, TextNeedsNoTerminatorOrPaddingAfterIt) {
  // The view ends inside a larger buffer: nothing after it may be read as part of the reply.
  const std::string buffer = R"({"rawOffset":1}{"garbage")";
  auto result = decode<TimezoneResponse>(std::string_view(buffer).substr(0, 15));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value()->rawOffset, 1);
}

}  // namespace
}  // namespace orvane::site
