#include "internal/ReplyErrors.h"

#include <memory>
#include <utility>

#include "orvane/site/Result.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/decode.h"
#include "orvane/site/internal/ErrorType.h"
#include "orvane/site/responses/BaseResponse.h"
#include "transport/SecretMask.h"

namespace orvane::site::internal {

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
