// Option clients on the fake transport and its fake clock: keys, cancellation, deadlines,
// retries and the handle's waits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/ErrorChecks.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/AutoAnsweringTransport.h"
#include "orvane/site/testing/FakeTransport.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using testkit::FakeTransport;

constexpr const char* kReply = R"({"returnCode":"0","returnDesc":"OK"})";

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

// Records every result a handler receives.
struct Results {
  std::vector<Result<TimezoneResponse>> seen;
  std::function<void(Result<TimezoneResponse>)> handler() {
    return [this](Result<TimezoneResponse> result) { seen.push_back(std::move(result)); };
  }
  std::int64_t onlyCode() const {
    EXPECT_EQ(seen.size(), 1U);
    return seen.empty() || seen[0].ok() ? -1 : seen[0].error().code;
  }
};

class OptionClientTest : public ::testing::Test {
 protected:
  ClientOptions options() const {
    ClientOptions options;
    options.setApiKey("KEY-A").setHost("127.0.0.1:8443").setTransport(transport_);
    options.setRetryPolicy(RetryPolicy().setJitter(false)).setDeadline(60s);
    return options;
  }
  void TearDown() override { transport_->dropPending(); }

  std::shared_ptr<FakeTransport> transport_ = std::make_shared<FakeTransport>();
};

TEST_F(OptionClientTest, SendsItsOwnKeyHostAndTimeoutAndDeliversOnceLater) {
  SiteClient client(options().setAttemptTimeout(3s));
  Results results;
  Call<TimezoneResponse> call = client.timezone(someRequest(), CallOptions(), results.handler());
  EXPECT_EQ(transport_->requestCount(), 0U);  // nothing runs inside the operation call
  transport_->runPosted();
  const HttpRequest sent = transport_->lastRequest();
  EXPECT_EQ(sent.url, "https://127.0.0.1:8443/mapApi/v1/timezoneService/getTimezone?key=KEY-A");
  EXPECT_EQ(sent.method, "POST");
  EXPECT_DOUBLE_EQ(sent.timeoutSeconds, 3.0);
  ASSERT_TRUE(sent.deadline.has_value());
  ASSERT_TRUE(sent.body.has_value());
  EXPECT_NE(sent.body->find("\"timestamp\":1700000000"), std::string::npos);
  EXPECT_FALSE(call.done());
  transport_->reply(200, kReply);
  transport_->runPosted();
  ASSERT_EQ(results.seen.size(), 1U);
  ASSERT_TRUE(results.seen[0].ok());
  EXPECT_EQ(results.seen[0].value()->returnDesc, "OK");
  EXPECT_TRUE(call.done());
  EXPECT_TRUE(call.get().ok());
  call.cancel();  // after delivery: nothing changes
  transport_->runUntilIdle();
  EXPECT_EQ(results.seen.size(), 1U);
  EXPECT_TRUE(call.get().ok());
}

TEST_F(OptionClientTest, UnusableOptionsFailTheCallThroughItsHandler) {
  struct Case {
    ClientOptions options;
    TransportErrorCode code;
  };
  const std::vector<Case> cases = {
      {options().setApiKey(""), TransportErrorCode::invalidApiKey},
      {options().setHost("bad host/"), TransportErrorCode::invalidUrl},
      {options().setAttemptTimeout(0s), TransportErrorCode::otherFailure},
      {options().setDeadline(-1s), TransportErrorCode::otherFailure},
  };
  for (const Case& c : cases) {
    SiteClient client(c.options);
    Results results;
    client.timezone(someRequest(), CallOptions(), results.handler());
    EXPECT_TRUE(results.seen.empty());
    transport_->runUntilIdle();
    EXPECT_EQ(results.onlyCode(), codeOf(c.code));
  }
  EXPECT_EQ(transport_->requestCount(), 0U);
}

TEST_F(OptionClientTest, AReplyIsDecodedWhereItLiesAndAFailureIsToldApartByItsUtf8) {
  // Read in place where the transport left room after the text, else copied first: the same
  // result either way, and a 200 that does not decode is told apart as not UTF-8 or not JSON.
  auto outcomeOf = [](const std::string& text, bool padded) {
    HttpOutcome outcome = testkit::httpReply(200);
    if (padded) outcome.body.reserve(text.size() + 64);
    outcome.body.assign(text);
    return outcome;
  };
  const std::string named =
      R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris","rawOffset":3600})";
  const std::string notUtf8 = "{\"returnCode\":\"0\",\"returnDesc\":\"O\xff\"}";
  const std::string malformed = R"({"returnCode":"0","returnDesc":"OK")";
  SiteClient client(options());
  for (bool padded : {true, false}) {
    auto ok = client.timezone(someRequest());
    auto refused = client.timezone(someRequest());
    auto wrong = client.timezone(someRequest());
    transport_->runPosted();
    transport_->answer(outcomeOf(named, padded));
    transport_->answer(outcomeOf(notUtf8, padded));
    transport_->answer(outcomeOf(malformed, padded));
    transport_->runUntilIdle();
    ASSERT_TRUE(ok.get().ok()) << padded;
    EXPECT_EQ(ok.get().value()->timeZoneId, "Europe/Paris");
    EXPECT_EQ(transportErrorCode(refused.get().error()), TransportErrorCode::bodyNotUtf8);
    EXPECT_EQ(decodingErrorCode(wrong.get().error()), DecodingErrorCode::dataCorrupted);
  }
}

// A cancel in a retry pause is flow_control_test's, where the pause's permit shows too.
TEST_F(OptionClientTest, CancelBeforeTheFirstStepEndsTheCallOnceWithoutSending) {
  SiteClient client(options());
  Results results;
  auto call = client.timezone(someRequest(), CallOptions(), results.handler());
  call.cancel();
  call.cancel();
  transport_->runUntilIdle();
  EXPECT_EQ(results.onlyCode(), codeOf(TransportErrorCode::cancelled));
  EXPECT_EQ(transport_->requestCount(), 0U);
}

// The retry step is tabled in call_pipeline_test; here a call lives the facade's schedule
// (1 s, 1.5 s, 2.25 s) until the next pause would pass its deadline of 3 s.
TEST_F(OptionClientTest, RetriesPauseAsScheduledUntilAPauseWouldPassTheDeadline) {
  SiteClient client(options().setRetryPolicy(RetryPolicy::specSchedule()).setDeadline(3s));
  Results results;
  client.timezone(someRequest(), CallOptions(), results.handler());
  for (int step = 0; step < 10 && results.seen.empty(); ++step) {
    transport_->runPosted();
    if (!transport_->reply(503, "")) transport_->fireNextTimer();  // the pause comes first
  }
  EXPECT_EQ(transport_->requestCount(), 3U);
  // The first timer is the deadline's, armed when the call's first step runs.
  const std::vector<std::chrono::nanoseconds> timers = transport_->timerDelays();
  ASSERT_EQ(timers.size(), 3U);
  EXPECT_EQ(std::vector(timers.begin() + 1, timers.end()),
            (std::vector<std::chrono::nanoseconds>{1000ms, 1500ms}));
  EXPECT_EQ(results.onlyCode(), codeOf(TransportErrorCode::serverErrorAfterRetries));
}

TEST_F(OptionClientTest, GetInsideAHandlerReturnsAtOnceInsteadOfWaitingForever) {
  SiteClient client(options());
  Call<TimezoneResponse> pending;
  std::optional<Result<TimezoneResponse>> fromHandler;
  std::optional<std::optional<Result<TimezoneResponse>>> waited;
  client.timezone(someRequest(), CallOptions(), [&](Result<TimezoneResponse>) {
    fromHandler = pending.get();
    waited = pending.waitFor(10s);
  });
  pending = client.timezone(someRequest());
  transport_->runPosted();
  transport_->answer(testkit::httpReply(200, kReply));  // the first call's request only
  transport_->runPosted();
  ASSERT_TRUE(fromHandler.has_value());
  ASSERT_FALSE(pending.done());
  EXPECT_EQ(fromHandler->error().code, codeOf(TransportErrorCode::calledOnLibraryThread));
  ASSERT_TRUE(waited.has_value() && waited->has_value());
  EXPECT_EQ((*waited)->error().code, codeOf(TransportErrorCode::calledOnLibraryThread));
  EXPECT_FALSE(pending.waitFor(1ms).has_value());  // on the test's own thread it just waits
}

TEST(OptionClientKeys, TwoClientsFromEightThreadsNeverSendEachOthersKey) {
  // Each reply names the key its request carried.
  auto transport = std::make_shared<testkit::AutoAnsweringTransport>([](const HttpRequest& r) {
    return testkit::httpReply(
        200, R"({"returnCode":"0","returnDesc":")" + r.url.substr(r.url.find("key=") + 4) + "\"}");
  });
  SiteClient clients[] = {SiteClient(ClientOptions().setApiKey("key-0").setTransport(transport)),
                          SiteClient(ClientOptions().setApiKey("key-1").setTransport(transport))};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        Result<TimezoneResponse> result = clients[t % 2].timezone(someRequest()).get();
        if (!result.ok() || result.value()->returnDesc != "key-" + std::to_string(t % 2)) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}
}  // namespace
}  // namespace orvane::site
