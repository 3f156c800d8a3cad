#include "orvane/site/testing/HttpReplies.h"

#include <utility>

namespace orvane::site::testkit {

HttpOutcome httpReply(long statusCode, std::string body) {
  HttpOutcome outcome;
  outcome.statusCode = statusCode;
  outcome.body = std::move(body);
  return outcome;
}

HttpOutcome httpFailure(HttpOutcome::Failure failure, std::string detail) {
  HttpOutcome outcome;
  outcome.failure = failure;
  outcome.failureDetail = std::move(detail);
  return outcome;
}

}  // namespace orvane::site::testkit
