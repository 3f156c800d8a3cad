// The one place where an exchange's outcome becomes an Error: every status and failure through
// classifyReply, with the code, domain and userInfo the call ends with.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/testing/HttpReplies.h"
#include "pipeline/ReplyRules.h"

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
  using testkit::httpReply;
  const char* tx = "OrvaneSite.TransportError";
  const char* api = "OrvaneSite.ErrorType";
  const std::int64_t other = codeOf(TransportErrorCode::otherFailure);
  const std::int64_t utf8 = codeOf(TransportErrorCode::bodyNotUtf8);
  const std::int64_t server = codeOf(TransportErrorCode::serverErrorAfterRetries);
  const std::int64_t partial = codeOf(TransportErrorCode::incompleteErrorEnvelope);
  const std::int64_t noBody = codeOf(TransportErrorCode::errorReplyWithoutBody);
  const Info withEnvelope = {{"returnCode", "010001"}, {"returnDesc", "INVALID_REQUEST"}};
  auto status = [](const char* code, Info more = {}) {
    more.emplace("statusCode", code);
    return more;
  };
  std::vector<ReplyCase> cases = {
      {"ok", httpReply(200, "{}"), Kind::success, "", 0, {}},
      {"okEmpty", httpReply(200, ""), Kind::success, "", 0, {}},
      {"noStatus", httpReply(0, "{}"), Kind::noReply, tx, other,
       Info{{"detail", "the transport gave no HTTP status"}}},
      {"notUtf8At200", httpReply(200, kNotUtf8), Kind::notUtf8, tx, utf8, status("200")},
      {"notUtf8At503", httpReply(503, kNotUtf8), Kind::notUtf8, tx, utf8, status("503")},
      {"status500", httpReply(500, kEnvelope), Kind::serverError, tx, server, status("500")},
      {"status599", httpReply(599, ""), Kind::serverError, tx, server, status("599")},
      {"tooMany", httpReply(429, kEnvelope), Kind::tooManyRequests, api, 1,
       status("429", withEnvelope)},
      {"incomplete", httpReply(400, "{}"), Kind::errorReply, tx, partial, status("400")},
      {"incompleteWithCode", httpReply(403, R"({"returnCode":"010002","returnDesc":null})"),
       Kind::errorReply, tx, partial, status("403", {{"returnCode", "010002"}})},
      {"emptyBody", httpReply(404, ""), Kind::errorReply, tx, noBody, status("404")},
      {"noEnvelope", httpReply(400, "[1,2]"), Kind::errorReply, "OrvaneSite.DecodingError", 0,
       Info{}, true},
  };
  // Every status that is neither 200 nor a server error reads the envelope alike.
  for (const char* code : {"199", "201", "400", "404", "499"}) {
    cases.push_back({"envelope", httpReply(std::stol(code), kEnvelope), Kind::errorReply, api, 1,
                     status(code, withEnvelope)});
  }
  // A failure detail that happens to hold the key never hands it on.
  using Failure = HttpOutcome::Failure;
  using Code = TransportErrorCode;
  for (const auto& [failure, code] : {std::pair{Failure::connectionFailed, Code::connectionFailed},
                                      std::pair{Failure::timedOut, Code::timedOut},
                                      std::pair{Failure::tlsFailure, Code::tlsFailure},
                                      std::pair{Failure::otherFailure, Code::otherFailure}}) {
    cases.push_back({"failure", testkit::httpFailure(failure, "peer said SECRETKEY"), Kind::noReply,
                     tx, codeOf(code), Info{{"detail", "peer said ***"}}});
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
  EXPECT_EQ(classifyReply(testkit::httpReply(200, kNotUtf8), {}, SuccessBody::leftToDecoder).kind,
            Kind::success);
}

}  // namespace
}  // namespace orvane::site::internal
