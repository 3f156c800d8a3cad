// How BaseRequestClient turns a client's state into a configured request manager, writes the
// body, and delivers replies to its completion.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane/site.h"
#include "support/LogCapture.h"

namespace orvane::site {
namespace {

using nlohmann::json;
using std::nullopt;

// The lines captured so far; the capture starts afresh.
std::vector<std::string> take(testkit::LogCapture& log) {
  std::vector<std::string> lines = log.lines();
  log.clear();
  return lines;
}

constexpr const char* kBodyLine = "[OrvaneSite][BaseRequestClient.bodyDataToJson(_:)] ";

// A fresh cache and a builder context back at its defaults around every test.
class RequestClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
    resetBuilder().setApiKey("cached-key").setBaseUrl("cached.example:8443");
    ContextDataCache::set(ApiContext().build());
    resetBuilder();
  }
  void TearDown() override {
    resetBuilder();
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
  }

  static ApiContext& resetBuilder() {
    static ApiContext chain;
    return chain.setApiKey("")
        .setBaseUrl(ClientConfig::BaseUrl)
        .setApiScheme("https")
        .setMaxRetry(3)
        .setRetryInterval(1.0)
        .setTimeoutInterval(60.0);
  }

  static std::shared_ptr<TimezoneRequestClient> timezoneClient() {
    auto client = std::make_shared<TimezoneRequestClient>();
    client->_request(TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "fr"));
    return client;
  }
};

// The facade's tests see host, key and time-out in what is sent; here what only the manager
// shows: whose retry values it takes, and a context's host kept when its empty key is replaced.
TEST_F(RequestClientTest, AContextGivesItsRetryValuesHostAndKeyUnlessTheKeyIsEmpty) {
  ContextDataCache::shared()->setMaxRetry(0);  // cached retry values are used by no call
  auto client = timezoneClient();
  EXPECT_EQ(client->createRequestManager(nullptr)->maxRetry(), 3);
  auto context = ApiContext().setApiKey("context-key").setMaxRetry(5).setRetryInterval(2.0).build();
  const auto manager = client->createRequestManager(context);
  EXPECT_EQ(client->_apiContext(), context);
  EXPECT_EQ(manager->params()->at("key"), "context-key");
  EXPECT_EQ(manager->maxRetry(), 5);
  EXPECT_EQ(manager->retryInterval(), 2.0);

  const auto keyless = client->createRequestManager(std::make_shared<ApiContext>());
  EXPECT_EQ(keyless->params()->at("key"), "cached-key");
  EXPECT_EQ(keyless->baseUrl(), ClientConfig::BaseUrl);
  EXPECT_EQ(client->apiKey(), "cached-key");
  EXPECT_EQ(ContextDataCache::shared()->apiKey(), "cached-key");  // the cache is untouched
}

TEST_F(RequestClientTest, LogsTheBodyAndRefusesBodiesJsonCannotCarryWithTwoErrorLines) {
  testkit::LogCapture log;
  BaseRequestClient client;
  EXPECT_EQ(client.bodyDataToJson(nullopt), nullopt);
  EXPECT_EQ(client.bodyDataToJson(json::parse(R"({"b":[1,true],"a":"x"})")),
            std::optional<std::string>(R"({"a":"x","b":[1,true]})"));
  EXPECT_EQ(take(log), (std::vector<std::string>{
                           std::string(kBodyLine) + "INFO: Called body parameters: nil",
                           std::string(kBodyLine) +
                               R"(INFO: Called body parameters: {"a":"x","b":[1,true]})"}));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<json, std::string> cases[] = {
      {json{{"location", {{"lat", nan}, {"lng", 1.0}}}},
       R"(invalid number value (NaN) at "location.lat")"},
      {json{{"list", {1.0, -inf}}}, R"(invalid number value (infinity) at "list.1")"},
      {json{{"query", "bad\xFF"}}, R"(text that is not UTF-8 at "query")"},
      {json("just text"), "the top-level value is string, not an object or an array"},
  };
  for (const auto& [body, reason] : cases) {
    EXPECT_EQ(client.bodyDataToJson(body), nullopt) << reason;
    const std::vector<std::string> lines = take(log);
    ASSERT_EQ(lines.size(), 3U) << reason;
    EXPECT_EQ(lines[1], std::string(kBodyLine) + "ERROR: body param is not a valid json object.");
    EXPECT_EQ(lines[2],
              std::string(kBodyLine) + "ERROR: body param to json convert error: " + reason);
  }
}

TEST_F(RequestClientTest, SendsTheJsonHeadersOnlyWithABodyThatCouldBeWritten) {
  // An operation client without a request still sends its (empty) dictionary.
  const auto empty = std::make_shared<GeocodeRequestClient>()->createRequestManager(nullptr);
  EXPECT_EQ(empty->bodyData(), std::optional<std::string>("{}"));
  EXPECT_EQ(empty->headerValues().size(), 2U);

  testkit::LogCapture quiet;
  auto client = std::make_shared<ReverseGeocodeRequestClient>();
  client->_request(ReverseGeocodeRequest(Coordinate(std::numeric_limits<double>::quiet_NaN(), 2),
                                         nullopt, nullopt));
  const auto manager = client->createRequestManager(nullptr);
  EXPECT_EQ(manager->bodyData(), nullopt);
  EXPECT_TRUE(manager->headerValues().empty());
  EXPECT_EQ(manager->mode(), RequestMode::post);
}

TEST_F(RequestClientTest, UrlIsTheAddressOfTheNextCallAndLogsTheBody) {
  auto client = timezoneClient();
  client->_apiContext(ApiContext().setApiKey("url-key").setBaseUrl("url.example").build());
  testkit::LogCapture log;
  EXPECT_EQ(client->url(),
            "Optional(https://url.example/mapApi/v1/timezoneService/getTimezone?key=url-key)");
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{std::string(kBodyLine) +
                                     "INFO: Called body parameters: " + client->bodyParameters()});
}

// result<T> is driven directly here; the facade tests cover it behind a transport.
TEST_F(RequestClientTest, ResultPassesErrorsOnReportsUnusableDataAndContainsThrows) {
  std::vector<std::optional<Error>> errors;
  auto client = std::make_shared<TimezoneRequestClient>();
  client->completion([&errors](std::shared_ptr<BaseResponse> value, std::optional<Error> error) {
    EXPECT_FALSE(value);
    errors.push_back(std::move(error));
  });
  const Error apiError = ErrorType::apiError("010001", "INVALID_REQUEST").toError();
  client->result<TimezoneResponse>(R"({"timeZoneId":"Europe/Paris"})", apiError);
  client->result<TimezoneResponse>(std::string(), nullopt);
  client->result<TimezoneResponse>(R"({"rawOffset":3600.5})", nullopt);
  client->result<TimezoneResponse>(nullopt, nullopt);
  ASSERT_EQ(errors.size(), 4U);
  EXPECT_EQ(errors[0]->domain, "OrvaneSite.ErrorType");  // passed on unchanged
  EXPECT_EQ(errors[0]->code, 1);
  EXPECT_EQ(errors[1]->domain, "OrvaneSite.DecodingError");
  EXPECT_EQ(errors[2]->domain, "OrvaneSite.DecodingError");
  EXPECT_EQ(errors[3]->domain, "OrvaneSite.TransportError");
  EXPECT_EQ(errors[3]->code, static_cast<std::int64_t>(TransportErrorCode::emptyReply));

  testkit::LogCapture log;
  client->completion(nullptr);
  client->result<TimezoneResponse>("{}", nullopt);  // dropped
  client->completion([](std::shared_ptr<BaseResponse>, std::optional<Error>) {
    throw std::runtime_error("boom");
  });
  EXPECT_NO_THROW(client->result<TimezoneResponse>("{}", nullopt));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"[OrvaneSite][BaseRequestClient.result(data:error:type:)] "
                                     "ERROR: completion threw an exception, which was discarded: "
                                     "boom"});
}

}  // namespace
}  // namespace orvane::site
