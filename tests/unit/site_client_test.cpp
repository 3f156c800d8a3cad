// The facade behind a fake transport: the request each operation sends, what its handler
// receives, and how handlers, facades and contexts may be (mis)used; and SiteClient's Call forms
// on a connection: a mocked one, as an application's test uses it, and the process-wide one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane/site.h"
#include "orvane/site/testing/FakeTransport.h"
#include "orvane/site/testing/MockSiteConnection.h"
#include "orvane/site/testing/ReadyCall.h"
#include "support/LogCapture.h"

namespace orvane::site {
namespace {

using std::nullopt;

std::optional<std::string> headerOf(const HttpRequest& request, const std::string& name) {
  for (const auto& [field, value] : request.headers) {
    if (field == name) return value;
  }
  return nullopt;
}

class SiteClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
    resetBuilder().setApiKey("cached-key").setBaseUrl("cached.example");
    ContextDataCache::set(ApiContext().build());
    resetBuilder();
    setDefaultHttpTransport(fake);
  }
  void TearDown() override {
    fake->runUntilIdle();
    // Requests a test left unanswered hold their manager, which holds the fake: break the cycle.
    fake->dropPending();
    setDefaultHttpTransport(nullptr);
    resetBuilder();
    ContextDataCache::setShared(std::make_shared<ContextDataCache>());
  }

  static ApiContext& resetBuilder() {
    return ApiContext()
        .setApiScheme("https")
        .setApiKey("")
        .setBaseUrl(ClientConfig::BaseUrl)
        .setMaxRetry(3)
        .setRetryInterval(1.0)
        .setTimeoutInterval(60.0);
  }

  // Starts a time-zone lookup on `client` whose outcomes are appended to `outcomes`.
  struct Outcome {
    std::shared_ptr<TimezoneResponse> response;
    std::optional<Error> error;
  };
  void lookUp(SiteClientProtocol& client, std::vector<Outcome>& outcomes,
              std::shared_ptr<ApiContext> context = nullptr, std::int64_t timestamp = 1) {
    client.timezone(
        TimezoneRequest(Coordinate(48.85, 2.35), timestamp, nullopt), std::move(context),
        [&outcomes](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
          outcomes.push_back({std::move(response), std::move(error)});
        });
  }

  std::shared_ptr<testkit::FakeTransport> fake = std::make_shared<testkit::FakeTransport>();
  testkit::LogCapture log;
};

TEST_F(SiteClientTest, EachOperationPostsItsCompactBodyToItsPathWithTheCachedKey) {
  struct Case {
    std::function<void(SiteClient&)> start;
    std::string path;
    std::string body;
  };
  auto ignore = [](auto, auto) {};
  const std::vector<Case> cases = {
      {[&](SiteClient& c) {
         c.textSearch(TextSearchRequest("tea", nullopt, nullopt, "cafe", nullopt, nullopt, nullopt,
                                        nullopt, 0, nullopt),
                      nullptr, ignore);
       },
       "mapApi/v1/siteService/searchByText", R"({"pageIndex":0,"poiType":"CAFE","query":"tea"})"},
      {[&](SiteClient& c) {
         c.nearbySearch(NearbySearchRequest(Coordinate(1, 2), 5, nullopt, nullopt, nullopt, nullopt,
                                            nullopt, nullopt),
                        nullptr, ignore);
       },
       "mapApi/v1/siteService/nearbySearch", R"({"location":{"lat":1.0,"lng":2.0},"radius":5})"},
      {[&](SiteClient& c) {
         c.detailSearch(DetailSearchRequest("S1", nullopt, false), nullptr, ignore);
       },
       "mapApi/v1/siteService/searchById", R"({"children":false,"siteId":"S1"})"},
      {[&](SiteClient& c) {
         c.querySuggestion(
             QuerySuggestionRequest("q", nullopt, nullopt, nullopt,
                                    std::vector<std::string>{"bank"}, nullopt, nullopt, nullopt),
             nullptr, ignore);
       },
       "mapApi/v1/siteService/querySuggestion", R"({"poiTypes":["BANK"],"query":"q"})"},
      {[&](SiteClient& c) {
         c.queryAutocomplete(QueryAutocompleteRequest("ca", nullopt, nullopt, "fr", nullopt),
                             nullptr, ignore);
       },
       "mapApi/v1/siteService/queryAutoComplete", R"({"language":"fr","query":"ca"})"},
      {[&](SiteClient& c) { c.geocode(GeocodeRequest("a", nullopt, nullopt), nullptr, ignore); },
       "mapApi/v1/siteService/geocode", R"({"address":"a"})"},
      {[&](SiteClient& c) {
         c.reverseGeocode(ReverseGeocodeRequest(Coordinate(0, 0), nullopt, true), nullptr, ignore);
       },
       "mapApi/v1/siteService/reverseGeocode",
       R"({"location":{"lat":0.0,"lng":0.0},"returnPoi":true})"},
      {[&](SiteClient& c) {
         c.timezone(TimezoneRequest(Coordinate(0, 0), -5, nullopt), nullptr, ignore);
       },
       "mapApi/v1/timezoneService/getTimezone",
       R"({"location":{"lat":0.0,"lng":0.0},"timestamp":-5})"},
  };
  for (const Case& c : cases) {
    c.start(SiteClient::shared());
    const HttpRequest request = fake->lastRequest();
    EXPECT_EQ(request.method, "POST") << c.path;
    EXPECT_EQ(request.url, "https://cached.example/" + c.path + "?key=cached-key");
    EXPECT_EQ(headerOf(request, "Content-Type"), "application/json") << c.path;
    EXPECT_EQ(headerOf(request, "Accept"), "application/json") << c.path;
    EXPECT_EQ(request.body, c.body);
  }
  EXPECT_EQ(fake->requestCount(), cases.size());
}

// Whatever the scheme, the key travels in the address, so https is what is sent.
TEST_F(SiteClientTest, APerCallContextGivesHostKeyAndTimeOutButHttpsStays) {
  std::vector<Outcome> outcomes;
  auto context = ApiContext()
                     .setApiScheme("http")
                     .setApiKey("call-key")
                     .setBaseUrl("call.example:8443")
                     .setTimeoutInterval(30.0)
                     .build();
  lookUp(SiteClient::shared(), outcomes, context);
  EXPECT_EQ(fake->lastRequest().url,
            "https://call.example:8443/mapApi/v1/timezoneService/getTimezone?key=call-key");
  EXPECT_EQ(fake->lastRequest().timeoutSeconds, 30.0);

  ContextDataCache::set(ApiContext()
                            .setApiScheme("http")
                            .setApiKey("cached-key")
                            .setBaseUrl("plain.example")
                            .build());
  lookUp(SiteClient::shared(), outcomes);
  EXPECT_EQ(fake->lastRequest().url,
            "https://plain.example/mapApi/v1/timezoneService/getTimezone?key=cached-key");
}

TEST_F(SiteClientTest, HandlerGetsTheDecodedResponseLaterAndOnce) {
  std::vector<Outcome> outcomes;
  lookUp(SiteClient::shared(), outcomes);
  fake->runUntilIdle();
  EXPECT_TRUE(outcomes.empty());  // never inside the operation call, nor before the reply

  fake->reply(200, R"({"timeZoneId":"Europe/Paris","rawOffset":3600,"returnCode":"0"})");
  fake->runUntilIdle();
  ASSERT_EQ(outcomes.size(), 1U);
  EXPECT_FALSE(outcomes[0].error);
  ASSERT_TRUE(outcomes[0].response);
  EXPECT_EQ(outcomes[0].response->timeZoneId, "Europe/Paris");
  EXPECT_EQ(outcomes[0].response->rawOffset, 3600);

  // An error code in the envelope of a reply that decodes is still a response.
  lookUp(SiteClient::shared(), outcomes);
  fake->reply(200, R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST"})");
  fake->runUntilIdle();
  ASSERT_EQ(outcomes.size(), 2U);
  ASSERT_TRUE(outcomes[1].response);
  EXPECT_EQ(outcomes[1].response->returnCode, "010001");
  EXPECT_EQ(outcomes[1].response->returnDesc, "INVALID_REQUEST");
}

TEST_F(SiteClientTest, OverlappingCallsGetTheirOwnRepliesButNoneFromADestroyedFacade) {
  std::vector<Outcome> outcomes[4];
  auto own = std::make_unique<SiteClient>();
  auto destroyed = std::make_unique<SiteClient>();
  SiteClient* clients[] = {&SiteClient::shared(), own.get(), destroyed.get(),
                           &SiteClient::shared()};
  for (int i = 0; i < 4; ++i) lookUp(*clients[i], outcomes[i], nullptr, i);
  destroyed.reset();
  for (int i = 0; i < 4; ++i) fake->reply(200, R"({"timeZoneId":")" + std::to_string(i) + "\"}");
  fake->runUntilIdle();
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(outcomes[i].size(), i == 2 ? 0U : 1U) << i;
    if (i != 2) {
      EXPECT_EQ(outcomes[i][0].response->timeZoneId, std::to_string(i));
    }
  }
}

TEST_F(SiteClientTest, HandlersMayBeEmptyThrowOrStartNewCalls) {
  SiteClient::shared().geocode(GeocodeRequest("a", nullopt, nullopt), nullptr, nullptr);
  EXPECT_TRUE(fake->reply(200, R"({"sites":[]})"));
  EXPECT_NO_THROW(fake->runUntilIdle());

  // A handler may start calls, and one that throws is logged once; its new call still works.
  int calls = 0;
  std::vector<Outcome> inner;
  SiteClient::shared().timezone(TimezoneRequest(Coordinate(0, 0), 0, nullopt), nullptr,
                                [&](auto, auto) {
                                  ++calls;
                                  lookUp(SiteClient::shared(), inner);
                                  throw std::runtime_error("boom");
                                });
  fake->reply(200, "{}");
  EXPECT_NO_THROW(fake->runUntilIdle());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(log.count("[OrvaneSite][SiteClient.timezone(with:apiContext:completionHandler:)] "
                      "ERROR: completion handler threw an exception, which was discarded: boom"),
            1U);
  ASSERT_EQ(fake->pendingRequestCount(), 1U);
  fake->reply(200, R"({"timeZoneId":"inner"})");
  fake->runUntilIdle();
  ASSERT_EQ(inner.size(), 1U);
  EXPECT_EQ(inner[0].response->timeZoneId, "inner");
  EXPECT_EQ(calls, 1);
}

TEST_F(SiteClientTest, ProvideApiContextChecksTheKeyLengthAndStoresTheValues) {
  const std::string line =
      "[OrvaneSite][SiteClient.provideApiContext(with:)] ERROR: To activate Orvane Site "
      "Service, api key must be provided. ";
  struct Case {
    std::string key;
    bool logged;
    std::string cachedAfter;
  };
  for (const Case& c : {Case{"", true, "cached-key"}, Case{"k", true, "k"}, Case{"é", true, "é"},
                        Case{"ok", false, "ok"}}) {
    log.clear();
    SiteClient::provideApiContext(
        ApiContext().setApiKey(c.key).setBaseUrl("provided.example").build());
    EXPECT_EQ(log.count(line), c.logged ? 1U : 0U) << c.key;
    EXPECT_EQ(ContextDataCache::shared()->apiKey(), c.cachedAfter);
    EXPECT_EQ(ContextDataCache::shared()->baseUrl(), "provided.example");
  }

  log.clear();
  ContextDataCache::shared()->setMaxRetry(9);
  SiteClient::provideApiContext(nullptr);
  EXPECT_EQ(log.lines(), std::vector<std::string>{line});
  EXPECT_EQ(ContextDataCache::shared()->apiKey(), "ok");
  EXPECT_EQ(ContextDataCache::shared()->maxRetry(), 9);
}

TEST_F(SiteClientTest, ADefaultClientsCallFormsRunOnTheConfigurationOfTheirTime) {
  ContextDataCache::set(ApiContext().setApiKey("KEY-ONE").setBaseUrl("one.example").build());
  SiteClient client;
  Call<TimezoneResponse> first = client.timezone(TimezoneRequest(Coordinate(0, 0), 1, nullopt));
  fake->runPosted();
  ASSERT_TRUE(fake->reply(200, R"({"returnCode":"0","timeZoneId":"Europe/Paris"})"));
  fake->runPosted();
  EXPECT_TRUE(first.get().ok());
  ContextDataCache::set(ApiContext().setApiKey("KEY-TWO").setBaseUrl("two.example").build());
  client.timezone(TimezoneRequest(Coordinate(0, 0), 2, nullopt));
  fake->runPosted();
  ASSERT_EQ(fake->requestCount(), 2U);
  EXPECT_EQ(fake->requests()[0].url,
            "https://one.example/mapApi/v1/timezoneService/getTimezone?key=KEY-ONE");
  EXPECT_EQ(fake->requests()[1].url,
            "https://two.example/mapApi/v1/timezoneService/getTimezone?key=KEY-TWO");
}

TEST(SiteConnection, AnApplicationTestMocksTheCallForms) {
  using ::testing::_;
  auto connection = std::make_shared<testkit::MockSiteConnection>();
  EXPECT_CALL(*connection, timezone(_, _, _))
      .WillOnce([](TimezoneRequest request, const CallOptions&, auto) {
        EXPECT_EQ(request.timestamp, 1700000000);
        auto response = std::make_shared<TimezoneResponse>();
        response->timeZoneId = "Europe/Paris";
        return testkit::readyCall(response);
      })
      .WillOnce([](auto, const CallOptions&, auto handler) {
        return testkit::readyCall<TimezoneResponse>(
            makeTransportError(TransportErrorCode::connectionFailed), handler);
      });
  SiteClient client(connection);
  // What an application might do with a client: the zone of a place, or why there is none.
  auto zoneOf = [&client](std::int64_t timestamp) -> std::string {
    Result<TimezoneResponse> result =
        client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), timestamp, "en")).get();
    if (!result.ok()) return "error " + std::to_string(result.error().code);
    return result.value()->timeZoneId.value_or("none");
  };
  EXPECT_EQ(zoneOf(1700000000), "Europe/Paris");
  EXPECT_EQ(zoneOf(1),
            "error " + std::to_string(static_cast<int>(TransportErrorCode::connectionFailed)));
  EXPECT_THROW(SiteClient(std::shared_ptr<SiteConnection>()), std::invalid_argument);
}

}  // namespace
}  // namespace orvane::site
