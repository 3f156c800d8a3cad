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

TEST(RequestManagerStatus, ErrorEnvelopeBecomesApiError) {
  LogCapture quiet;
  for (long status : {404L, 400L, 201L, 199L, 499L}) {
    ManagerCall call;
    call.start();
    call.transport->reply(status, R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST"})");
    const auto& outcome = call.only();
    ASSERT_TRUE(outcome.error) << status;
    EXPECT_FALSE(outcome.body);
    EXPECT_EQ(outcome.error->domain, "OrvaneSite.ErrorType");
    EXPECT_EQ(outcome.error->code, 1);
    EXPECT_EQ(outcome.error->localizedDescription, "API Error");
    EXPECT_EQ(outcome.error->userInfo.at("returnCode"), "010001");
    EXPECT_EQ(outcome.error->userInfo.at("returnDesc"), "INVALID_REQUEST");
    EXPECT_EQ(outcome.error->userInfo.at("statusCode"), std::to_string(status));
    EXPECT_EQ(call.transport->requestCount(), 1u) << "only 5xx is retried";
  }
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

TEST(RequestManagerStatus, UnreportedErrorRepliesGetTheirOwnTransportErrors) {
  LogCapture quiet;
  {
    ManagerCall call;
    call.start();
    call.transport->reply(400, "{}");
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::incompleteErrorEnvelope));
    EXPECT_EQ(call.only().error->userInfo.at("statusCode"), "400");
  }
  {
    ManagerCall call;
    call.start();
    call.transport->reply(403, R"({"returnCode":"010002","returnDesc":null})");
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::incompleteErrorEnvelope));
    EXPECT_EQ(call.only().error->userInfo.at("returnCode"), "010002");
    EXPECT_EQ(call.only().error->userInfo.count("returnDesc"), 0u);
  }
  {
    ManagerCall call;
    call.start();
    call.transport->reply(404, "");
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::errorReplyWithoutBody));
    EXPECT_EQ(call.only().error->userInfo.at("statusCode"), "404");
  }
}

TEST(RequestManagerStatus, BodyThatIsNotUtf8EndsTheCallWhateverTheStatusWithoutRetry) {
  for (long status : {200L, 404L, 503L}) {
    LogCapture log;
    ManagerCall call;
    call.start();
    call.transport->reply(status, "{\"a\":\"\xC3\x28\"}");
    EXPECT_TRUE(isTransportError(call.only(), TransportErrorCode::bodyNotUtf8)) << status;
    EXPECT_EQ(call.only().error->userInfo.at("statusCode"), std::to_string(status));
    EXPECT_EQ(call.transport->pendingTimerCount(), 0u);
    EXPECT_EQ(log.count(kResponseLine), 0u);
  }
}

TEST(RequestManagerStatus, ExchangesWithoutReplyMapToTheirCodesAndAreNotRetried) {
  LogCapture quiet;
  struct Case {
    HttpOutcome::Failure failure;
    TransportErrorCode code;
  } cases[] = {
      {HttpOutcome::Failure::connectionFailed, TransportErrorCode::connectionFailed},
      {HttpOutcome::Failure::timedOut, TransportErrorCode::timedOut},
      {HttpOutcome::Failure::tlsFailure, TransportErrorCode::tlsFailure},
      {HttpOutcome::Failure::otherFailure, TransportErrorCode::otherFailure},
  };
  for (const Case& c : cases) {
    ManagerCall call("SECRETKEY");
    call.start();
    // A failure detail that happens to hold the key never hands it on.
    call.transport->answer(httpFailure(c.failure, "peer said SECRETKEY"));
    call.transport->runUntilIdle();
    ASSERT_TRUE(isTransportError(call.only(), c.code));
    EXPECT_EQ(call.only().error->userInfo.at("detail"), "peer said ***");
    EXPECT_EQ(call.only().error->userInfo.count("statusCode"), 0u);
    EXPECT_EQ(call.transport->requestCount(), 1u);
  }
  ManagerCall noStatus;
  noStatus.start();
  noStatus.transport->reply(0, "{}");
  EXPECT_TRUE(isTransportError(noStatus.only(), TransportErrorCode::otherFailure));
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
