// Every operation from the facade to a real HTTPS stand-in of the service on 127.0.0.1, over a
// curl transport that trusts the stand-in's own authority (verification stays on).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "orvane/site.h"
#include "orvane/site/standin/standin_server.h"

namespace orvane::site {
namespace {

using standin::StandinOptions;
using standin::StandinServer;
using std::nullopt;

// What one call delivered to its handler.
template <class Response>
struct Delivery {
  std::shared_ptr<Response> response;
  std::optional<Error> error;
};

// A handler that fulfils a promise, and the future to wait on.
template <class Response>
std::pair<std::function<void(std::shared_ptr<Response>, std::optional<Error>)>,
          std::future<Delivery<Response>>>
awaitable() {
  auto promise = std::make_shared<std::promise<Delivery<Response>>>();
  auto future = promise->get_future();
  return {[promise](std::shared_ptr<Response> response, std::optional<Error> error) {
            promise->set_value({std::move(response), std::move(error)});
          },
          std::move(future)};
}

template <class Response>
Delivery<Response> wait(std::future<Delivery<Response>>& future) {
  // A generous bound, so that a broken call fails the test instead of hanging it.
  if (future.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "no delivery within 60 seconds";
    return {};
  }
  return future.get();
}

class OperationsIntegration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new StandinServer(StandinOptions{});
    server_->start();
    CurlTransportOptions options;
    options.caInfoFile = server_->caFile().string();
    transport_ = new std::shared_ptr<HttpTransport>(std::make_shared<CurlTransport>(options));
  }
  static void TearDownTestSuite() {
    server_->stop();
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    setDefaultHttpTransport(*transport_);
    context_ = ApiContext()
                   .setApiKey(StandinOptions::kDemoKey)
                   .setBaseUrl(server_->host())
                   .setMaxRetry(0)
                   .setTimeoutInterval(30.0)
                   .build();
    server_->resetCounters();
  }
  void TearDown() override { setDefaultHttpTransport(nullptr); }

  // The body the stand-in received last, as JSON.
  static nlohmann::json lastBody() {
    auto request = server_->lastRequest();
    return request ? nlohmann::json::parse(request->body) : nlohmann::json();
  }

  static StandinServer* server_;
  // Kept for the whole run: the library thread of a transport outlives single tests.
  static std::shared_ptr<HttpTransport>* transport_;
  std::shared_ptr<ApiContext> context_;
};

StandinServer* OperationsIntegration::server_ = nullptr;
std::shared_ptr<HttpTransport>* OperationsIntegration::transport_ = nullptr;

TEST_F(OperationsIntegration, TimeZoneLookupFromTheFacade) {
  auto [handler, future] = awaitable<TimezoneResponse>();
  SiteClient::shared().timezone(TimezoneRequest(Coordinate(48.8566, 2.3522), 1704067200, "en"),
                                context_, handler);
  const auto delivery = wait(future);
  ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->timeZoneId, "Europe/Paris");
  EXPECT_EQ(delivery.response->rawOffset, 3600);
  EXPECT_EQ(delivery.response->dstOffset, 0);  // 1 January: no daylight saving

  const auto received = server_->lastRequest();
  ASSERT_TRUE(received);
  EXPECT_EQ(received->method, "POST");
  EXPECT_EQ(received->path, "/mapApi/v1/timezoneService/getTimezone");
  EXPECT_EQ(received->queryValue("key"), std::string(StandinOptions::kDemoKey));
  EXPECT_EQ(received->header("Content-Type"), "application/json");
  EXPECT_EQ(received->header("Accept"), "application/json");
  EXPECT_EQ(nlohmann::json::parse(received->body),
            nlohmann::json::parse(
                R"({"location":{"lat":48.8566,"lng":2.3522},"timestamp":1704067200,
                    "language":"en"})"));
}

TEST_F(OperationsIntegration, TheSevenSearchOperationsRunEndToEnd) {
  const Coordinate paris(48.8566, 2.3522);
  {
    auto [handler, future] = awaitable<TextSearchResponse>();
    SiteClient::shared().textSearch(TextSearchRequest("Paris", nullopt, nullopt, nullopt, nullopt,
                                                      nullopt, "en", 5, 1, nullopt),
                                    context_, handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    EXPECT_TRUE(delivery.response && delivery.response->sites);
    EXPECT_EQ(lastBody(), nlohmann::json::parse(
                              R"({"query":"Paris","language":"en","pageSize":5,"pageIndex":1})"));
  }
  {
    auto [handler, future] = awaitable<NearbySearchResponse>();
    SiteClient::shared().nearbySearch(
        NearbySearchRequest(paris, 50000, nullopt, nullopt, nullopt, nullopt, 3, nullopt), context_,
        handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    EXPECT_TRUE(delivery.response && delivery.response->sites);
    EXPECT_EQ(lastBody()["radius"], 50000);
  }
  std::string siteId;
  {
    auto [handler, future] = awaitable<GeocodeResponse>();
    SiteClient::shared().geocode(GeocodeRequest("Paris", nullopt, "en"), context_, handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    ASSERT_TRUE(delivery.response && delivery.response->sites);
    ASSERT_FALSE(delivery.response->sites->empty());
    siteId = delivery.response->sites->front()->siteId.value_or("");
  }
  {
    auto [handler, future] = awaitable<DetailSearchResponse>();
    SiteClient::shared().detailSearch(DetailSearchRequest(siteId, "en", false), context_, handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    ASSERT_TRUE(delivery.response && delivery.response->site);
    EXPECT_EQ(delivery.response->site->siteId, siteId);
  }
  {
    auto [handler, future] = awaitable<QuerySuggestionResponse>();
    SiteClient::shared().querySuggestion(
        QuerySuggestionRequest("Par", nullopt, nullopt,
                               CoordinateBounds(Coordinate(49, 3), Coordinate(48, 2)), nullopt,
                               nullopt, nullopt, nullopt),
        context_, handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    EXPECT_TRUE(delivery.response);
    EXPECT_EQ(lastBody()["bounds"]["southwest"]["lng"], 2.0);
  }
  {
    auto [handler, future] = awaitable<QueryAutocompleteResponse>();
    SiteClient::shared().queryAutocomplete(
        QueryAutocompleteRequest("Pari", paris, 10000, nullopt, nullopt), context_, handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    EXPECT_TRUE(delivery.response);
  }
  {
    auto [handler, future] = awaitable<ReverseGeocodeResponse>();
    SiteClient::shared().reverseGeocode(ReverseGeocodeRequest(paris, nullopt, true), context_,
                                        handler);
    const auto delivery = wait(future);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
    EXPECT_TRUE(delivery.response && delivery.response->sites);
  }
  EXPECT_EQ(server_->requestsForKey(StandinOptions::kDemoKey), 7);
}

// The process may end while calls are under way: nothing of the library may crash during exit.
TEST(OperationsExit, EndingTheProcessWithCallsInFlightExitsCleanly) {
  // Run in a fresh process: forking this one, which already has threads, is not safe.
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        StandinServer* server = new StandinServer();  // left running, like the calls
        server->start();
        CurlTransportOptions options;
        options.caInfoFile = server->caFile().string();
        setDefaultHttpTransport(std::make_shared<CurlTransport>(options));
        const std::string key = StandinServer::faultKey(StandinOptions::kDemoKey, {"delay-3000"});
        auto context = ApiContext().setApiKey(key).setBaseUrl(server->host()).build();
        for (int i = 0; i < 20; ++i) {
          SiteClient::shared().timezone(TimezoneRequest(Coordinate(0, 0), i, nullopt), context,
                                        [](auto, auto) {});
        }
        // Exit once every call waits for its reply: the stand-in's own threads, reading a
        // request as exit tears down what they use, are not what this test is about.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (server->requestsForKey(key) < 20 && std::chrono::steady_clock::now() < giveUp) {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvane::site
