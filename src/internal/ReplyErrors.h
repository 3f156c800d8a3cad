#pragma once

#include <string>
#include <vector>

#include "orvane/site/Error.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/HttpOutcome.h"

namespace orvane::site::internal {

/// The transport error code of an exchange that brought no usable reply.
TransportErrorCode transportCodeOf(HttpOutcome::Failure failure) noexcept;

/// The Error of a reply whose status is neither 200 nor a server error: an empty body gives
/// TransportErrorCode::errorReplyWithoutBody; a reply envelope with "returnCode" and
/// "returnDesc" the ErrorType::apiError (code and text also in userInfo); an envelope lacking
/// either TransportErrorCode::incompleteErrorEnvelope; a body that is no envelope its decoding
/// Error, and `notAnEnvelope` is set. `userInfo["statusCode"]` holds the status in every case.
/// Each of `secrets` (the API key as sent and decoded) is masked in the service's description,
/// which may quote the request.
Error errorOfReply(long statusCode, const std::string& body, bool& notAnEnvelope,
                   const std::vector<std::string>& secrets);

}  // namespace orvane::site::internal
