// An application's test against the installed testing kit: a real call to the in-process
// stand-in, a mock of the facade, and a retry on the fake transport's clock. (No `using
// namespace orvane::site`: its `testing` namespace would meet GoogleTest's.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <orvane/site.h>
#include <orvane/site/testing.h>

#include <future>

namespace {

namespace site = orvane::site;

TEST(InstalledKit, TimezoneFromTheStandin) {
  site::testing::Standin standin;
  standin.configureProcessDefaults();
  std::promise<std::string> zone;
  site::SiteClient::shared().timezone(
      site::TimezoneRequest(site::Coordinate(35.68, 139.69), 1767225600, "en"), nullptr,
      [&zone](std::shared_ptr<site::TimezoneResponse> response, std::optional<site::Error> error) {
        zone.set_value(error ? error->localizedDescription : response->timeZoneId.value_or(""));
      });
  EXPECT_EQ(zone.get_future().get(), "Asia/Tokyo");
  site::setDefaultHttpTransport(nullptr);
}

TEST(InstalledKit, MockAnswers) {
  site::testing::MockSiteClient client;
  EXPECT_CALL(client, geocode).WillOnce([](auto, auto, site::GeocodeHandler handler) {
    handler(nullptr, site::makeTransportError(site::TransportErrorCode::timedOut));
  });
  bool retryable = false;
  client.geocode(site::GeocodeRequest("Lima, PE", std::nullopt, std::nullopt), nullptr,
                 [&](auto, std::optional<site::Error> error) {
                   retryable = error && site::isRetryable(*error);
                 });
  EXPECT_TRUE(retryable);
}

TEST(InstalledKit, ZoneAfterOneBusyReply) {
  auto transport = std::make_shared<site::testing::FakeTransport>();
  site::SiteClient client(site::ClientOptions().setApiKey("test-key").setTransport(transport));
  auto call = client.timezone(site::TimezoneRequest(site::Coordinate(48.85, 2.35), 0, "en"));
  transport->runPosted();
  transport->reply(503);
  transport->fireNextTimer();
  transport->reply(200, R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris"})");
  transport->runPosted();
  ASSERT_TRUE(call.done());
  EXPECT_EQ(call.get().value()->timeZoneId, "Europe/Paris");
  EXPECT_EQ(transport->requestCount(), 2U);
}

}  // namespace
