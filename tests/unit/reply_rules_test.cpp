// The one place where an exchange's outcome becomes an Error: every status and failure through
// classifyReply, with the code, domain and userInfo the call ends with.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pipeline/ReplyRules.h"
#include "support/FakeTransport.h"

namespace orvane::site::internal {
namespace {

using Kind = ReplyVerdict::Kind;
using Info = std::map<std::string, std::string>;

constexpr const char* kEnvelope = R"({"returnCode":"010001","returnDesc":"INVALID_REQUEST"})";
constexpr const char* kNotUtf8 = "{\"a\":\"\xC3\x28\"}";

struct ReplyCase {
  const char* name;
  HttpOutcome outcome;
  Kind kind;
  const char* domain;  // empty: no error
  std::int64_t code;
  Info info;  // these entries, and no other
  bool notAnEnvelope = false;
};

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

std::vector<ReplyCase> replyCases() {
  using testing::httpFailure;
  using testing::httpReply;
  const char* transport = "OrvaneSite.TransportError";
  std::vector<ReplyCase> cases = {
      {"ok", httpReply(200, "{}"), Kind::success, "", 0, {}},
      {"okEmpty", httpReply(200, ""), Kind::success, "", 0, {}},
      {"noStatus",
       httpReply(0, "{}"),
       Kind::noReply,
       transport,
       codeOf(TransportErrorCode::otherFailure),
       {{"detail", "the transport gave no HTTP status"}}},
      {"notUtf8At200",
       httpReply(200, kNotUtf8),
       Kind::notUtf8,
       transport,
       codeOf(TransportErrorCode::bodyNotUtf8),
       {{"statusCode", "200"}}},
      {"notUtf8At404",
       httpReply(404, kNotUtf8),
       Kind::notUtf8,
       transport,
       codeOf(TransportErrorCode::bodyNotUtf8),
       {{"statusCode", "404"}}},
      {"notUtf8At503",
       httpReply(503, kNotUtf8),
       Kind::notUtf8,
       transport,
       codeOf(TransportErrorCode::bodyNotUtf8),
       {{"statusCode", "503"}}},
      {"status500",
       httpReply(500, kEnvelope),
       Kind::serverError,
       transport,
       codeOf(TransportErrorCode::serverErrorAfterRetries),
       {{"statusCode", "500"}}},
      {"status599",
       httpReply(599, ""),
       Kind::serverError,
       transport,
       codeOf(TransportErrorCode::serverErrorAfterRetries),
       {{"statusCode", "599"}}},
      {"tooMany",
       httpReply(429, kEnvelope),
       Kind::tooManyRequests,
       "OrvaneSite.ErrorType",
       1,
       {{"statusCode", "429"}, {"returnCode", "010001"}, {"returnDesc", "INVALID_REQUEST"}}},
      {"incomplete",
       httpReply(400, "{}"),
       Kind::errorReply,
       transport,
       codeOf(TransportErrorCode::incompleteErrorEnvelope),
       {{"statusCode", "400"}}},
      {"incompleteWithCode",
       httpReply(403, R"({"returnCode":"010002","returnDesc":null})"),
       Kind::errorReply,
       transport,
       codeOf(TransportErrorCode::incompleteErrorEnvelope),
       {{"statusCode", "403"}, {"returnCode", "010002"}}},
      {"emptyBody",
       httpReply(404, ""),
       Kind::errorReply,
       transport,
       codeOf(TransportErrorCode::errorReplyWithoutBody),
       {{"statusCode", "404"}}},
      {"noEnvelope",
       httpReply(400, "[1,2]"),
       Kind::errorReply,
       "OrvaneSite.DecodingError",
       0,
       {},
       true},
  };
  // Every status that is neither 200 nor a server error reads the envelope alike.
  for (long status : {199L, 201L, 400L, 404L, 499L}) {
    cases.push_back({"envelope",
                     httpReply(status, kEnvelope),
                     Kind::errorReply,
                     "OrvaneSite.ErrorType",
                     1,
                     {{"statusCode", std::to_string(status)},
                      {"returnCode", "010001"},
                      {"returnDesc", "INVALID_REQUEST"}}});
  }
  // A failure detail that happens to hold the key never hands it on.
  const std::pair<HttpOutcome::Failure, TransportErrorCode> failures[] = {
      {HttpOutcome::Failure::connectionFailed, TransportErrorCode::connectionFailed},
      {HttpOutcome::Failure::timedOut, TransportErrorCode::timedOut},
      {HttpOutcome::Failure::tlsFailure, TransportErrorCode::tlsFailure},
      {HttpOutcome::Failure::otherFailure, TransportErrorCode::otherFailure},
  };
  for (const auto& [failure, code] : failures) {
    cases.push_back({"failure",
                     httpFailure(failure, "peer said SECRETKEY"),
                     Kind::noReply,
                     transport,
                     codeOf(code),
                     {{"detail", "peer said ***"}}});
  }
  return cases;
}

TEST(ReplyRules, EveryOutcomeGivesItsKindAndError) {
  for (const ReplyCase& c : replyCases()) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.outcome.statusCode));
    const ReplyVerdict verdict = classifyReply(c.outcome, {"SECRETKEY"}, SuccessBody::checked);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_EQ(verdict.notAnEnvelope, c.notAnEnvelope);
    if (std::string(c.domain).empty()) {
      EXPECT_FALSE(verdict.error);
      continue;
    }
    ASSERT_TRUE(verdict.error);
    EXPECT_EQ(verdict.error->domain, c.domain);
    if (c.notAnEnvelope) {
      EXPECT_EQ(verdict.error->userInfo.at("statusCode"), std::to_string(c.outcome.statusCode));
      continue;
    }
    EXPECT_EQ(verdict.error->code, c.code);
    EXPECT_EQ(Info(verdict.error->userInfo.begin(), verdict.error->userInfo.end()), c.info);
    if (c.code == 1) {
      EXPECT_EQ(verdict.error->localizedDescription, "API Error");
    }
  }
  // A 200 body left to its decoder is not read here.
  EXPECT_EQ(classifyReply(testing::httpReply(200, kNotUtf8), {}, SuccessBody::leftToDecoder).kind,
            Kind::success);
}

}  // namespace
}  // namespace orvane::site::internal
