// Request bodies written as JSON text directly must be byte for byte the dump of the body tree
// the request clients build, for every operation and for awkward values; what the text cannot
// hold is reported as the tree reports it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "call/OperationCall.h"
#include "facade/client/BodyTextWriter.h"
#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site.h"

namespace orvane::site::internal {
namespace {

class RandomValues {
 public:
  explicit RandomValues(std::uint32_t seed) : engine_(seed) {}

  bool chance() { return pick(2) == 0; }

  std::string text() {
    // clang-format off
    static const char* const kPieces[] = {
        "coffee", " ", "\"", "\\", "/", "\n", "\r\t\b\f", "\x01", "\x1f", "\x7f", "caf\xc3\xa9",
        "stra\303\237e", "\xe6\x97\xa5\xe6\x9c\xac", "\xf0\x9f\x98\x80", "<&>", "'",
        "\xe2\x80\xa8"};
    // clang-format on
    std::string result;
    const std::size_t pieces = pick(6);
    for (std::size_t i = 0; i < pieces; ++i) result += kPieces[pick(std::size(kPieces))];
    if (pick(8) == 0) result += std::string(300 + pick(200), 'x');  // beyond the reserve
    if (pick(10) == 0) result += std::string(1, '\0') + "after a NUL";
    return result;
  }

  double number() {
    using Limits = std::numeric_limits<double>;
    static const double kSpecial[] = {0.0,           -0.0,
                                      1.0,           -180.0,
                                      48.8566,       0.1,
                                      1e21,          1e-7,
                                      123456789.125, Limits::denorm_min(),
                                      Limits::max(), Limits::lowest()};
    if (chance()) return kSpecial[pick(std::size(kSpecial))];
    return std::uniform_real_distribution<double>(-1e6, 1e6)(engine_);
  }

  std::int64_t integer() {
    using Limits = std::numeric_limits<std::int64_t>;
    static const std::int64_t kSpecial[] = {0, -1, 1, 20, Limits::min(), Limits::max()};
    if (chance()) return kSpecial[pick(std::size(kSpecial))];
    return std::uniform_int_distribution<std::int64_t>()(engine_);
  }

  Coordinate coordinate() { return Coordinate(number(), number()); }
  CoordinateBounds bounds() { return CoordinateBounds(coordinate(), coordinate()); }

  template <class Make>
  auto maybe(Make make) -> std::optional<decltype(make())> {
    if (chance()) return std::nullopt;
    return make();
  }

  std::vector<std::string> texts() {
    std::vector<std::string> result(pick(4));
    for (std::string& element : result) element = text();
    return result;
  }

 private:
  std::size_t pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(engine_);
  }

  std::mt19937 engine_;
};

template <class Request>
std::string treeDump(const Request& request) {
  BodyWriter tree;
  writeFields(request, tree);
  return tree.take().dump();
}

template <class Request>
void expectSameBody(const Request& request) {
  // The text is written straight through, not by falling back on the tree.
  BodyTextWriter text;
  writeFields(request, text);
  const std::optional<std::string> written = text.finish();
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, treeDump(request));
  std::string body;
  ASSERT_FALSE(writeRequestBody(request, body));
  EXPECT_EQ(body, *written);
}

TEST(RequestBodyText, EqualsTheDumpedTreeForEveryOperation) {
  RandomValues random(20261206);
  auto text = [&] { return random.text(); };
  auto number = [&] { return random.integer(); };
  auto flag = [&] { return random.chance(); };
  auto coordinate = [&] { return random.coordinate(); };
  auto bounds = [&] { return random.bounds(); };
  auto texts = [&] { return random.texts(); };
  auto opt = [&](auto make) { return random.maybe(make); };
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    expectSameBody(TextSearchRequest(text(), opt(coordinate), opt(number), opt(text), opt(text),
                                     opt(text), opt(text), opt(number), opt(number), opt(flag)));
    expectSameBody(NearbySearchRequest(coordinate(), opt(number), opt(text), opt(text), opt(text),
                                       opt(text), opt(number), opt(number)));
    expectSameBody(DetailSearchRequest(text(), opt(text), opt(flag)));
    expectSameBody(QuerySuggestionRequest(text(), opt(coordinate), opt(number), opt(bounds),
                                          opt(texts), opt(text), opt(text), opt(flag)));
    expectSameBody(
        QueryAutocompleteRequest(text(), opt(coordinate), opt(number), opt(text), opt(flag)));
    expectSameBody(GeocodeRequest(text(), opt(bounds), opt(text)));
    expectSameBody(ReverseGeocodeRequest(coordinate(), opt(text), opt(flag)));
    expectSameBody(TimezoneRequest(coordinate(), number(), opt(text)));
  }
}

template <class Request>
std::string failureOf(const Request& request) {
  std::string body;
  const std::optional<Error> failure = writeRequestBody(request, body);
  if (!failure) return "written: " + body;
  EXPECT_EQ(failure->code, static_cast<std::int64_t>(TransportErrorCode::otherFailure));
  return failure->userInfo.at("detail");
}

TEST(RequestBodyText, ValuesJsonCannotHoldAreNamedByTheirPlace) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ(failureOf(TimezoneRequest(Coordinate(nan, 2), 1, std::nullopt)),
            "the request cannot be written as JSON: invalid number value (NaN) at "
            "\"location.lat\"");
  EXPECT_EQ(failureOf(GeocodeRequest(
                "a", CoordinateBounds(Coordinate(1, 2), Coordinate(3, -infinity)), std::nullopt)),
            "the request cannot be written as JSON: invalid number value (infinity) at "
            "\"bounds.southwest.lng\"");
  EXPECT_EQ(failureOf(DetailSearchRequest("site", std::string("en\xff"), std::nullopt)),
            "the request cannot be written as JSON: text that is not UTF-8 at \"language\"");
  EXPECT_EQ(failureOf(QuerySuggestionRequest("q", std::nullopt, std::nullopt, std::nullopt,
                                             std::vector<std::string>{"cafe", "\xc3"}, std::nullopt,
                                             std::nullopt, std::nullopt)),
            "the request cannot be written as JSON: text that is not UTF-8 at \"poiTypes.1\"");
}

TEST(RequestBodyText, AMemberOutOfKeyOrderFailsRatherThanReorderTheBody) {
  BodyTextWriter ordered;
  ordered.put("a", std::int64_t{1}).put("b", true);
  EXPECT_EQ(ordered.finish(), std::optional<std::string>(R"({"a":1,"b":true})"));
  BodyTextWriter unordered;
  unordered.put("b", true).put("a", std::int64_t{1});
  EXPECT_FALSE(unordered.finish().has_value());
  BodyTextWriter repeated;
  repeated.put("a", true).put("a", false);
  EXPECT_FALSE(repeated.finish().has_value());
}

}  // namespace
}  // namespace orvane::site::internal
