// What a request manager does with each reply: deliver it, end the call with an error, or
// retry a server error on its 1.5x schedule; and what it logs on the way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "orvane/site/ApiContext.h"
#include "request_manager_harness.h"
#include "support/LogCapture.h"

namespace orvane::site::testkit {
namespace {

constexpr const char* kUrlLine =
    "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: ";
constexpr const char* kResponseLine =
    "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Response: ";
constexpr const char* kStatusLine =
    "[OrvaneSite][SiteRequestManager.generateSession(_:)] ERROR: httpResponse StatusCode: ";

TEST(RequestManagerStatus, OkDeliversTheBodyByteForByteOnceAndNeverInsideBuild) {
  LogCapture log;
  ManagerCall call;
  call.start();
  EXPECT_TRUE(call.outcomes.empty());
  const std::string body = "{\"returnCode\":\"0\",\"sites\":[{\"name\":\"Caf\xC3\xA9\"}]}\n";
  call.transport->reply(200, body);
  const auto& outcome = call.only();
  EXPECT_FALSE(outcome.error);
  EXPECT_EQ(outcome.body, body);
  EXPECT_EQ(log.count(std::string(kResponseLine) + body), 1u);
  // An empty 200 body is still a body: the framework's decoder then reports it.
  ManagerCall empty;
  empty.start();
  empty.transport->reply(200, "");
  EXPECT_EQ(empty.only().body, std::string());
  EXPECT_EQ(log.count(kResponseLine), 2u);
}

TEST(RequestManagerStatus, BodyThatIsNoEnvelopeGivesDecodingErrorAndStatusLine) {
  for (const char* body : {"not json", "[1,2]", R"({"returnCode":7,"returnDesc":"x"})"}) {
    LogCapture log;
    ManagerCall call;
    call.start();
    call.transport->reply(400, body);
    const auto& outcome = call.only();
    ASSERT_TRUE(outcome.error) << body;
    EXPECT_EQ(outcome.error->domain, "OrvaneSite.DecodingError") << body;
    EXPECT_EQ(log.lines().back(), std::string(kStatusLine) + "400");
  }
}

// The reply rules are classifyReply's; the manager retries a server error only, and writes no
// body that is not UTF-8 to its log.
TEST(RequestManagerStatus, OtherRepliesEndTheCallAtOnceWithTheKeyMasked) {
  for (const HttpOutcome& outcome :
       {httpReply(404, R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST"})"),
        httpReply(503, "{\"a\":\"\xC3\x28\"}"),
        httpFailure(HttpOutcome::Failure::connectionFailed, "peer said SECRETKEY")}) {
    SCOPED_TRACE(outcome.statusCode);
    LogCapture log;
    ManagerCall call("SECRETKEY");
    call.start();
    call.transport->answer(outcome);
    call.transport->runUntilIdle();
    ASSERT_TRUE(call.only().error);
    EXPECT_EQ(call.transport->requestCount(), 1u);
    EXPECT_EQ(log.count(kResponseLine), outcome.statusCode == 404 ? 1u : 0u);
    if (outcome.statusCode == 0) {
      EXPECT_EQ(call.only().error->userInfo.at("detail"), "peer said ***");
    }
  }
}

TEST(RequestManagerStatus, KeyNeverReachesTheLogsButCalledUrlKeepsIt) {
  LogCapture log;
  ManagerCall call("ab%2Bc+d");
  EXPECT_EQ(call.manager->calledUrl(),
            "Optional(https://site-api.orvane.com/mapApi/v1/siteService/geocode?key=ab%2Bc+d)");
  call.start();
  EXPECT_EQ(log.lines().at(0), std::string(kUrlLine) +
                                   "https://site-api.orvane.com/mapApi/v1/siteService/"
                                   "geocode?key=***");
  call.transport->reply(400, R"({"echo":"ab%2Bc+d","decoded":"ab+c+d"})");
  for (const std::string& line : log.lines()) {
    EXPECT_EQ(line.find("ab%2Bc+d"), std::string::npos) << line;
    EXPECT_EQ(line.find("ab+c+d"), std::string::npos) << line;
  }
  // An empty key stays visible as empty: it tells that no key was sent.
  LogCapture emptyLog;
  ManagerCall empty("");
  empty.start();
  EXPECT_EQ(emptyLog.count("geocode?key="), 1u);
  EXPECT_EQ(emptyLog.count("key=***"), 0u);
}

TEST(RequestManagerStatus, SecondBuildIsRefusedWithoutDisturbingTheFirst) {
  LogCapture quiet;
  ManagerCall call;
  call.start();
  std::optional<Error> second;
  call.manager->build(
      [&](std::optional<Error> error, std::optional<std::string>) { second = std::move(error); });
  call.transport->runPosted();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->code, static_cast<std::int64_t>(TransportErrorCode::otherFailure));
  EXPECT_EQ(call.transport->requestCount(), 1u);
  call.transport->reply(200, "{}");
  EXPECT_EQ(call.only().body, "{}");
}

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Answers every request with 503 until the call ends; returns the attempts made.
std::size_t alwaysServerError(ManagerCall& call) {
  while (call.outcomes.empty() && call.transport->pendingRequestCount() > 0) {
    call.transport->reply(503, R"({"returnCode":"500"})");
    call.transport->runUntilIdle();
  }
  return call.transport->requestCount();
}

TEST(RequestManagerRetry, InitialValuesGiveFourAttemptsWithGrowingPauses) {
  LogCapture log;
  ManagerCall call;
  call.start();
  for (int i = 0; i < 3; ++i) {
    call.transport->reply(503, "{}");
    EXPECT_TRUE(call.outcomes.empty());
    EXPECT_EQ(call.transport->requestCount(), static_cast<std::size_t>(i + 1))
        << "no attempt before its pause has passed";
    call.transport->fireNextTimer();
  }
  call.transport->reply(200, R"({"ok":true})");
  EXPECT_EQ(call.only().body, R"({"ok":true})");
  EXPECT_EQ(call.transport->timerDelays(),
            (std::vector<nanoseconds>{milliseconds(1000), milliseconds(1500), milliseconds(2250)}));
  EXPECT_EQ(call.transport->now(), milliseconds(4750));
  EXPECT_EQ(log.count("Called Url: "), 4u);
  // The manager's own values moved; a context it was given is left alone.
  EXPECT_EQ(call.manager->maxRetry(), 0);
  EXPECT_DOUBLE_EQ(call.manager->retryInterval(), 3.375);
}

TEST(RequestManagerRetry, RetryCountsAndPausesAtTheirEdges) {
  LogCapture quiet;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const nanoseconds none{0};
  struct Case {
    std::int64_t maxRetry;
    double pause;
    std::size_t attempts;
    std::vector<nanoseconds> delays;
  } cases[] = {
      {3, 1.0, 4, {milliseconds(1000), milliseconds(1500), milliseconds(2250)}},
      {0, 1.0, 1, {}},
      {-1, 1.0, 1, {}},
      {std::numeric_limits<std::int64_t>::min(), 1.0, 1, {}},
      {2, 0.0, 3, {none, none}},
      {2, -5.0, 3, {none, none}},
      {3, inf, 1, {}},
      {3, -inf, 1, {}},
      {3, nan, 1, {}},
      {3, 3601.0, 1, {}},
      // The pause grows past the longest one that is waited: 3000 s is, 4500 s is not.
      {5, 3000.0, 2, {std::chrono::seconds(3000)}},
      // However many retries are asked for, at most 100 are made.
      {std::numeric_limits<std::int64_t>::max(), 0.0, 101, std::vector<nanoseconds>(100, none)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.maxRetry) + " " + std::to_string(c.pause));
    ManagerCall call;
    call.manager->setMaxRetry(c.maxRetry);
    call.manager->setRetryInterval(c.pause);
    call.start();
    EXPECT_EQ(alwaysServerError(call), c.attempts);
    EXPECT_EQ(call.transport->timerDelays(), c.delays);
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::serverErrorAfterRetries));
    EXPECT_EQ(call.only().error->userInfo.at("statusCode"), "503");
  }
}

TEST(RequestManagerRetry, ContextValuesAreCopiedOnlyWhenAssigned) {
  LogCapture quiet;
  // The builder context is process-wide: its values are put back at the end.
  ApiContext builder;
  auto built = builder.setMaxRetry(1).setRetryInterval(0.25).setTimeoutInterval(7.0).build();
  auto manager = SiteRequestManager::create("h", "p", built);
  EXPECT_EQ(manager->maxRetry(), 3);
  EXPECT_DOUBLE_EQ(manager->retryInterval(), 1.0);
  EXPECT_DOUBLE_EQ(manager->timeoutInterval(), 1.0);

  ManagerCall call;
  call.manager->setApiContext(built);
  EXPECT_EQ(call.manager->apiContext(), built);
  call.start();
  EXPECT_EQ(call.transport->lastRequest().timeoutSeconds, 7.0);
  EXPECT_EQ(alwaysServerError(call), 2u);
  EXPECT_EQ(call.transport->timerDelays(), std::vector<nanoseconds>{milliseconds(250)});
  EXPECT_EQ(built->maxRetry(), 1) << "the context is not changed by the retries";
  // A null context changes nothing else.
  call.manager->setApiContext(nullptr);
  EXPECT_EQ(call.manager->maxRetry(), 0);
  builder.setMaxRetry(3).setRetryInterval(1.0).setTimeoutInterval(60.0);
}

TEST(RequestManagerRetry, EachAttemptCarriesTheRequestAndTheTimeOutRule) {
  LogCapture quiet;
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double timeout;
    double sent;
  } cases[] = {{1.0, 60.0},    {30.0, 30.0},
               {0.5, 0.5},     {0.0, 60.0},
               {-3.0, 60.0},   {inf, 3600.0},
               {1e12, 3600.0}, {std::numeric_limits<double>::quiet_NaN(), 60.0}};
  for (const auto& c : cases) {
    ManagerCall call;
    call.manager->setTimeoutInterval(c.timeout);
    call.start();
    EXPECT_EQ(call.transport->lastRequest().timeoutSeconds, c.sent) << c.timeout;
  }
  ManagerCall call;
  call.manager->setBodyData(std::string(R"({"query":"x"})"));
  call.manager->setHeaderValue("Accept", "application/json");
  call.start();
  call.transport->reply(500, "{}");
  call.transport->fireNextTimer();
  ASSERT_EQ(call.transport->requestCount(), 2u);
  EXPECT_EQ(call.transport->requests()[1].body, R"({"query":"x"})");
  EXPECT_EQ(call.transport->requests()[1].headers,
            (std::vector<std::pair<std::string, std::string>>{{"Accept", "application/json"}}));
}

}  // namespace
}  // namespace orvane::site::testkit
