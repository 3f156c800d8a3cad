#include <gtest/gtest.h>

#include <string>

#include "request_manager_harness.h"
#include "support/LogCapture.h"

namespace orvane::site::testing {
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
    if (outcome.statusCode == 0)
      EXPECT_EQ(call.only().error->userInfo.at("detail"), "peer said ***");
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

}  // namespace
}  // namespace orvane::site::testing
