// The testing kit as an application uses it: the in-process stand-in with its faults, the error
// vocabulary on real replies, and the mock of SiteClientProtocol.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "orvane/site.h"
#include "orvane/site/testing.h"

namespace orvane::site {
namespace {

using testkit::MockSiteClient;
using testkit::Standin;
using testkit::StandinFault;

TimezoneRequest parisNewYear() {
  return TimezoneRequest(Coordinate(48.8566, 2.3522), 1767225600, "en");
}

struct TimezoneDelivery {
  std::shared_ptr<TimezoneResponse> response;
  std::optional<Error> error;
};

TimezoneDelivery callTimezone(SiteClientProtocol& client, std::shared_ptr<ApiContext> context) {
  auto promise = std::make_shared<std::promise<TimezoneDelivery>>();
  auto future = promise->get_future();
  client.timezone(
      parisNewYear(), std::move(context),
      [promise](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
        promise->set_value({std::move(response), std::move(error)});
      });
  if (future.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "no delivery within 60 seconds";
    return {};
  }
  return future.get();
}

class TestingKit : public ::testing::Test {
 protected:
  void TearDown() override { setDefaultHttpTransport(nullptr); }

  Standin standin_;
};

TEST_F(TestingKit, ProcessDefaultsAndClientOptionsReachTheStandinOverVerifiedTls) {
  standin_.configureProcessDefaults();
  SiteClient facade;
  const TimezoneDelivery delivery = callTimezone(facade, nullptr);
  ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription;
  ASSERT_TRUE(delivery.response);
  EXPECT_EQ(delivery.response->timeZoneId, "Europe/Paris");
  EXPECT_EQ(standin_.requestsForKey(standin_.apiKey()), 1);

  ClientOptions refused = standin_.clientOptions();
  refused.setApiKey("not-a-known-key");
  const Result<TimezoneResponse> failed = SiteClient(refused).timezone(parisNewYear()).get();
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(apiReturnCode(failed.error()), std::string(ServiceReturnCode::keyRejected));
}

// Application code under test: depends on the protocol, so a mock can stand in for the client.
std::string zoneOrFallback(SiteClientProtocol& client) {
  const TimezoneDelivery delivery = callTimezone(client, nullptr);
  if (delivery.error) return isRetryable(*delivery.error) ? "try later" : "unknown";
  return delivery.response->timeZoneId.value_or("unknown");
}

TEST(MockSiteClientKit, AnswersThroughTheHandler) {
  MockSiteClient client;
  EXPECT_CALL(client, timezone)
      .WillOnce([](TimezoneRequest request, std::shared_ptr<ApiContext>, TimezoneHandler handler) {
        EXPECT_EQ(request.location.lat, 48.8566);
        auto response = std::make_shared<TimezoneResponse>();
        response->timeZoneId = "Europe/Paris";
        handler(response, std::nullopt);
      })
      .WillOnce([](TimezoneRequest, std::shared_ptr<ApiContext>, TimezoneHandler handler) {
        handler(nullptr, makeTransportError(TransportErrorCode::timedOut));
      });
  EXPECT_EQ(zoneOrFallback(client), "Europe/Paris");
  EXPECT_EQ(zoneOrFallback(client), "try later");
}

}  // namespace
}  // namespace orvane::site
