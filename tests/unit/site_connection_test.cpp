// SiteClient's Call forms on a connection: a mocked one, as an application's test uses it, and
// the process-wide one of a SiteClient made without options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"
#include "orvane/site/testing/MockSiteConnection.h"
#include "orvane/site/testing/ReadyCall.h"

namespace orvane::site {
namespace {

using ::testing::_;

TimezoneRequest parisAt(std::int64_t timestamp) {
  return TimezoneRequest(Coordinate(48.85, 2.35), timestamp, "en");
}

// What an application might do with a client: the zone of a place, or why there is none.
std::string zoneOf(SiteClient& client, std::int64_t timestamp) {
  Result<TimezoneResponse> result = client.timezone(parisAt(timestamp)).get();
  if (!result.ok()) return "error " + std::to_string(result.error().code);
  return result.value()->timeZoneId.value_or("none");
}

TEST(SiteConnection, AnApplicationTestMocksTheCallForms) {
  auto connection = std::make_shared<site::testing::MockSiteConnection>();
  EXPECT_CALL(*connection, timezone(_, _, _))
      .WillOnce([](TimezoneRequest request, const CallOptions&, auto) {
        EXPECT_EQ(request.timestamp, 1700000000);
        auto response = std::make_shared<TimezoneResponse>();
        response->timeZoneId = "Europe/Paris";
        return site::testing::readyCall(response);
      })
      .WillOnce([](auto, const CallOptions&, auto handler) {
        return site::testing::readyCall<TimezoneResponse>(
            makeTransportError(TransportErrorCode::connectionFailed), handler);
      });
  SiteClient client(connection);
  EXPECT_EQ(zoneOf(client, 1700000000), "Europe/Paris");
  EXPECT_EQ(zoneOf(client, 1),
            "error " + std::to_string(static_cast<int>(TransportErrorCode::connectionFailed)));
}

TEST(SiteConnection, ANullConnectionIsRefused) {
  EXPECT_THROW(SiteClient(std::shared_ptr<SiteConnection>()), std::invalid_argument);
}

TEST(SiteConnection, ADefaultClientsCallFormsRunOnTheProcessWideConfiguration) {
  auto transport = std::make_shared<site::testing::FakeTransport>();
  setDefaultHttpTransport(transport);
  ContextDataCache::setShared(std::make_shared<ContextDataCache>());
  ContextDataCache::set(ApiContext().setApiKey("KEY-ONE").setBaseUrl("one.example").build());
  SiteClient client;
  Call<TimezoneResponse> first = client.timezone(parisAt(1));
  transport->runPosted();
  ASSERT_TRUE(transport->reply(200, R"({"returnCode":"0","timeZoneId":"Europe/Paris"})"));
  transport->runPosted();
  EXPECT_TRUE(first.get().ok());
  // A later configuration holds for later calls.
  ContextDataCache::set(ApiContext().setApiKey("KEY-TWO").setBaseUrl("two.example").build());
  client.timezone(parisAt(2));
  transport->runPosted();
  ASSERT_EQ(transport->requestCount(), 2U);
  EXPECT_EQ(transport->requests()[0].url,
            "https://one.example/mapApi/v1/timezoneService/getTimezone?key=KEY-ONE");
  EXPECT_EQ(transport->requests()[1].url,
            "https://two.example/mapApi/v1/timezoneService/getTimezone?key=KEY-TWO");
  transport->dropPending();
  setDefaultHttpTransport(nullptr);
  ApiContext().setApiKey("").setBaseUrl(ClientConfig::BaseUrl);
  ContextDataCache::setShared(std::make_shared<ContextDataCache>());
}

}  // namespace
}  // namespace orvane::site
