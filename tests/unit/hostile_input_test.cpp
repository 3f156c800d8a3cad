// Replies built to hurt: nesting 10,000 levels deep, 50 MB of reply, numbers of 10,000 digits,
// strings full of invalid escapes. Each must end in a record or a decoding Error, for every
// response type, without a crash and within a bounded amount of memory. Also the inputs that
// fuzzing found to be mishandled, kept as regression tests.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/decode.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "support/FakeTransport.h"
#include "support/ReplyFixtures.h"

namespace orvane::site {
namespace {

constexpr std::int64_t kDataCorrupted = static_cast<std::int64_t>(DecodingErrorCode::dataCorrupted);
constexpr std::size_t kMiB = std::size_t{1} << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The peak resident memory of the process (VmHWM), restarted from the current level, so that a
// test measures what it alone needs on top of what is already in use.
class PeakMemory {
 public:
  PeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
    start_ = read("VmHWM:");
  }
  // Growth of the peak since construction, in bytes; nullopt where /proc does not tell.
  std::optional<std::size_t> growth() const {
    const auto peak = read("VmHWM:");
    if (!start_ || !peak) return std::nullopt;
    return *peak > *start_ ? *peak - *start_ : 0;
  }

 private:
  static std::optional<std::size_t> read(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind(field, 0) == 0) {
        std::istringstream value(line.substr(field.size()));
        std::size_t kib = 0;
        if (value >> kib) return kib * 1024;
      }
    }
    return std::nullopt;
  }
  std::optional<std::size_t> start_;
};

// How much memory decoding one reply of `replyBytes` may take beyond the reply itself: the
// parser's buffers and the records are a small multiple of the text. AddressSanitizer's shadow
// memory and quarantine add their own share.
std::size_t memoryBound(std::size_t replyBytes) {
  const std::size_t factor = kAddressSanitizer ? 24 : 12;
  return factor * replyBytes + 64 * kMiB;
}

void expectWithin(const PeakMemory& memory, std::size_t bound) {
  if (const auto growth = memory.growth()) {
    EXPECT_LT(*growth, bound) << "peak memory grew by " << *growth / kMiB << " MiB";
  }
}

std::string describe(const Error& error) {
  const auto found = error.userInfo.find("debugDescription");
  return found == error.userInfo.end() ? std::string() : found->second;
}

// Decodes `json` as every response type; each outcome goes to `check` with the type's name.
struct Outcome {
  bool ok = false;
  Error error;
};
void decodeAsEveryType(const std::string& json,
                       const std::function<void(const char*, const Outcome&)>& check) {
  auto run = [&](const char* name, auto result) {
    check(name, Outcome{result.ok(), result.error()});
  };
  run("BaseResponse", decode<BaseResponse>(json));
  run("TextSearchResponse", decode<TextSearchResponse>(json));
  run("NearbySearchResponse", decode<NearbySearchResponse>(json));
  run("DetailSearchResponse", decode<DetailSearchResponse>(json));
  run("QuerySuggestionResponse", decode<QuerySuggestionResponse>(json));
  run("QueryAutocompleteResponse", decode<QueryAutocompleteResponse>(json));
  run("GeocodeResponse", decode<GeocodeResponse>(json));
  run("ReverseGeocodeResponse", decode<ReverseGeocodeResponse>(json));
  run("TimezoneResponse", decode<TimezoneResponse>(json));
}

void expectCorruptedForEveryType(const std::string& json) {
  decodeAsEveryType(json, [](const char* type, const Outcome& outcome) {
    ASSERT_FALSE(outcome.ok) << type;
    EXPECT_EQ(outcome.error.domain, "OrvaneSite.DecodingError") << type;
    EXPECT_EQ(outcome.error.code, kDataCorrupted) << type;
    EXPECT_EQ(outcome.error.userInfo.at("codingPath"), "") << type;
  });
}

std::string repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// --- Nesting ------------------------------------------------------------------------------------

TEST(HostileReply, TenThousandLevelsOfNestingAreRefusedAsCorruptWherever) {
  constexpr std::size_t kDepth = 10000;
  const std::string arrays = std::string(kDepth, '[') + std::string(kDepth, ']');
  const std::string objects = repeated(R"({"a":)", kDepth) + "1" + std::string(kDepth, '}');
  PeakMemory memory;
  for (const std::string& json : {arrays, objects, R"({"sites":)" + arrays + "}",
                                  R"({"unknown":)" + objects + R"(,"returnCode":"0"})",
                                  R"({"predictions":[{"matchedWords":)" + arrays + "}]}"}) {
    SCOPED_TRACE(json.substr(0, 24));
    expectCorruptedForEveryType(json);
  }
  expectWithin(memory, memoryBound(objects.size()));
}

// --- Size ---------------------------------------------------------------------------------------

// --- Numbers ------------------------------------------------------------------------------------

TEST(HostileReply, TenThousandDigitNumbersFailAsCorruptUnlessTheyAreInRangeFractions) {
  const std::string digits(10000, '7');
  // Integers beyond 64 bits and numbers beyond the double range, in integer fields, double
  // fields and unknown members alike.
  for (const std::string& json :
       {R"({"totalCount":)" + digits + "}", R"({"totalCount":-)" + digits + "}",
        R"({"sites":[{"distance":)" + digits + "}]}",
        R"({"sites":[{"poi":{"rating":)" + digits + ".5}}]}",
        R"({"unknown":)" + digits + R"(,"returnCode":"0"})", R"({"rawOffset":1e)" + digits + "}"}) {
    SCOPED_TRACE(json.substr(0, 30));
    expectCorruptedForEveryType(json);
  }

  // 10,000 digits after the point are an ordinary double, rounded.
  auto rating = decode<DetailSearchResponse>(R"({"site":{"poi":{"rating":0.)" + digits + "}}}");
  ASSERT_TRUE(rating.ok()) << describe(rating.error());
  EXPECT_NEAR(*rating.value()->site->poi->rating, 7.0 / 9.0, 1e-12);
  // A whole number written with 10,000 zeros after the point is an integer.
  auto offset = decode<TimezoneResponse>(R"({"rawOffset":3600.)" + std::string(10000, '0') + "}");
  ASSERT_TRUE(offset.ok()) << describe(offset.error());
  EXPECT_EQ(offset.value()->rawOffset, 3600);
}

// --- Escapes ------------------------------------------------------------------------------------

TEST(HostileReply, StringsOfInvalidEscapesAreRefusedAsCorrupt) {
  constexpr std::size_t kCount = 10000;
  for (const std::string& escapes :
       {repeated(R"(\x)", kCount), repeated(R"(\u12G4)", kCount), repeated(R"(\ud800)", kCount),
        repeated(R"(\udc00\ud800)", kCount), repeated(R"(\)", 2 * kCount + 1),
        repeated(R"(\U0041)", kCount)}) {
    SCOPED_TRACE(escapes.substr(0, 12));
    // As a value, as a key and inside a site.
    expectCorruptedForEveryType(R"({"returnDesc":")" + escapes + R"("})");
    expectCorruptedForEveryType(R"({")" + escapes + R"(":1})");
    expectCorruptedForEveryType(R"({"sites":[{"name":")" + escapes + R"("}]})");
  }
  // Valid escapes in the same numbers decode into the texts they stand for.
  auto result = decode<TimezoneResponse>(R"({"timeZoneId":")" +
                                         repeated(R"(\ud83d\ude00\u0000\n)", kCount) + R"("})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(*result.value()->timeZoneId, repeated(std::string("\xF0\x9F\x98\x80\0\n", 6), kCount));
}

// --- Found by fuzzing ---------------------------------------------------------------------------

// fuzz/regressions/request_building/nul_in_api_key: an API key holding a NUL byte went into the
// URL as it was (where libcurl would cut the URL at the NUL) instead of being refused.
TEST(FuzzRegression, AnApiKeyOrQueryValueHoldingNulIsRefusedBeforeSending) {
  for (const std::string& key :
       {std::string(1, '\0'), std::string("abc\0def", 7), std::string("abc\0", 4)}) {
    auto transport = std::make_shared<testing::FakeTransport>();
    auto manager = SiteRequestManager::create("site-api.orvane.com", "mapApi/v1/x", nullptr);
    manager->setTransport(transport);
    manager->setParams(std::map<std::string, std::string>{{"key", key}});
    manager->setMode(RequestMode::post);
    std::vector<std::optional<Error>> errors;
    manager->build([&](std::optional<Error> error, std::optional<std::string>) {
      errors.push_back(std::move(error));
    });
    transport->runUntilIdle();
    EXPECT_EQ(transport->requestCount(), 0u) << "sent " << transport->lastRequest().url;
    ASSERT_EQ(errors.size(), 1u);
    ASSERT_TRUE(errors.front());
    EXPECT_EQ(errors.front()->domain, "OrvaneSite.TransportError");
    EXPECT_EQ(errors.front()->code, static_cast<std::int64_t>(TransportErrorCode::invalidApiKey));
    transport->dropPending();
  }
}

}  // namespace
}  // namespace orvane::site
