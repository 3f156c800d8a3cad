#include "pipeline/ReplyRules.h"

#include <simdjson.h>

#include <memory>
#include <utility>

#include "orvane/site/Result.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/decode.h"
#include "orvane/site/internal/ErrorType.h"
#include "orvane/site/responses/BaseResponse.h"
#include "transport/SecretMask.h"

namespace orvane::site::internal {

ReplyVerdict classifyReply(const HttpOutcome& outcome, const std::vector<std::string>& secrets,
                           SuccessBody success) {
  ReplyVerdict verdict;
  const long status = outcome.statusCode;
  if (outcome.failure != HttpOutcome::Failure::none) {
    verdict.kind = ReplyVerdict::Kind::noReply;
    verdict.failure = transportCodeOf(outcome.failure);
    // A transport's failure text may quote the key or a proxy address with its credentials.
    std::string detail = outcome.failureDetail;
    transport::maskSecrets(detail, secrets);
    transport::maskUrlCredentials(detail);
    verdict.error = makeTransportError(verdict.failure, status, detail);
    return verdict;
  }
  if (status <= 0) {
    verdict.kind = ReplyVerdict::Kind::noReply;
    verdict.error = makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                       "the transport gave no HTTP status");
    return verdict;
  }
  const std::string& body = outcome.body;
  const bool checkUtf8 = status != 200 || success == SuccessBody::checked;
  if (checkUtf8 && !simdjson::validate_utf8(body.data(), body.size())) {
    verdict.kind = ReplyVerdict::Kind::notUtf8;
    verdict.error = makeTransportError(TransportErrorCode::bodyNotUtf8, status);
    return verdict;
  }
  if (status == 200) return verdict;
  if (status >= 500) {
    verdict.kind = ReplyVerdict::Kind::serverError;
    verdict.error = makeTransportError(TransportErrorCode::serverErrorAfterRetries, status);
    return verdict;
  }
  verdict.kind =
      status == 429 ? ReplyVerdict::Kind::tooManyRequests : ReplyVerdict::Kind::errorReply;
  verdict.error = errorOfReply(status, body, verdict.notAnEnvelope, secrets);
  return verdict;
}

std::optional<std::chrono::nanoseconds> askedPause(const HttpOutcome& outcome) {
  const long status = outcome.statusCode;
  if (!outcome.retryAfter || (status != 429 && status != 503)) return std::nullopt;
  return std::chrono::nanoseconds(*outcome.retryAfter);
}

TransportErrorCode transportCodeOf(HttpOutcome::Failure failure) noexcept {
  switch (failure) {
    case HttpOutcome::Failure::connectionFailed:
      return TransportErrorCode::connectionFailed;
    case HttpOutcome::Failure::timedOut:
      return TransportErrorCode::timedOut;
    case HttpOutcome::Failure::tlsFailure:
      return TransportErrorCode::tlsFailure;
    case HttpOutcome::Failure::none:
    case HttpOutcome::Failure::otherFailure:
      break;
  }
  return TransportErrorCode::otherFailure;
}

Error errorOfReply(long statusCode, const std::string& body, bool& notAnEnvelope,
                   const std::vector<std::string>& secrets) {
  notAnEnvelope = false;
  if (body.empty())
    return makeTransportError(TransportErrorCode::errorReplyWithoutBody, statusCode);
  Result<BaseResponse> envelope = decode<BaseResponse>(body);
  if (!envelope.ok()) {
    notAnEnvelope = true;
    Error error = envelope.error();
    error.userInfo["statusCode"] = std::to_string(statusCode);
    return error;
  }
  const std::shared_ptr<BaseResponse>& reply = envelope.value();
  if (reply->returnCode && reply->returnDesc) {
    // The service's own code and text travel in userInfo: the description alone ("API Error")
    // would leave the application no way to tell why the call was refused.
    std::string returnDesc = *reply->returnDesc;
    transport::maskSecrets(returnDesc, secrets);
    Error error = ErrorType::apiError(*reply->returnCode, returnDesc).toError();
    error.userInfo["statusCode"] = std::to_string(statusCode);
    error.userInfo["returnCode"] = *reply->returnCode;
    error.userInfo["returnDesc"] = std::move(returnDesc);
    return error;
  }
  Error error = makeTransportError(TransportErrorCode::incompleteErrorEnvelope, statusCode);
  if (reply->returnCode) error.userInfo["returnCode"] = *reply->returnCode;
  if (reply->returnDesc) {
    std::string returnDesc = *reply->returnDesc;
    transport::maskSecrets(returnDesc, secrets);
    error.userInfo["returnDesc"] = std::move(returnDesc);
  }
  return error;
}

}  // namespace orvane::site::internal
