// An application's test against the installed testing kit: a real call to the in-process
// stand-in, a mocked `Call<T>` form, a retry on the fake transport's clock and a replayed
// cassette. It says `using namespace orvane::site` and `testing::` for GoogleTest's own, as
// application tests do: the kit's namespace is testkit, so the two never meet.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <orvane/site.h>
#include <orvane/site/testing.h>

#include <cstdlib>
#include <future>

namespace {

using namespace orvane::site;

TEST(InstalledKit, TimezoneFromTheStandin) {
  testkit::Standin standin;
  standin.configureProcessDefaults();
  std::promise<std::string> zone;
  SiteClient::shared().timezone(
      TimezoneRequest(Coordinate(35.68, 139.69), 1767225600, "en"), nullptr,
      [&zone](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
        zone.set_value(error ? error->localizedDescription : response->timeZoneId.value_or(""));
      });
  EXPECT_EQ(zone.get_future().get(), "Asia/Tokyo");
  setDefaultHttpTransport(nullptr);
}

TEST(InstalledKit, MockedCallForm) {
  auto connection = std::make_shared<testkit::MockSiteConnection>();
  EXPECT_CALL(*connection, geocode).WillOnce([](auto, auto&, auto) {
    return testkit::readyCall<GeocodeResponse>(makeTransportError(TransportErrorCode::timedOut));
  });
  SiteClient client(connection);
  auto result = client.geocode(GeocodeRequest("Lima, PE", std::nullopt, std::nullopt)).get();
  ASSERT_FALSE(result.ok());
  EXPECT_THAT(isRetryable(result.error()), testing::IsTrue());
}

TEST(InstalledKit, ZoneAfterOneBusyReply) {
  auto transport = std::make_shared<testkit::FakeTransport>();
  SiteClient client(ClientOptions().setApiKey("test-key").setTransport(transport));
  auto call = client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), 0, "en"));
  transport->runPosted();
  transport->reply(503);
  transport->fireNextTimer();
  transport->reply(200, R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris"})");
  transport->runPosted();
  ASSERT_TRUE(call.done());
  EXPECT_EQ(call.get().value()->timeZoneId, "Europe/Paris");
  EXPECT_EQ(transport->requestCount(), 2U);
}

// The cassette the package ships in examples/cassettes, named by the check that runs this test.
TEST(InstalledKit, ZoneFromACassette) {
  const char* cassette = std::getenv("ORVANE_SITE_CASSETTE");
  ASSERT_NE(cassette, nullptr);
  SiteClient client(ClientOptions().setApiKey("any").setTransport(
      std::make_shared<testkit::ReplayTransport>(cassette)));
  auto result = client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en")).get();
  ASSERT_TRUE(result.ok()) << result.error().localizedDescription;
  EXPECT_EQ(result.value()->timeZoneId, "Europe/Paris");
}

}  // namespace
