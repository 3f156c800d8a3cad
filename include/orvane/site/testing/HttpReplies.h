#pragma once

#include <string>

#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

// Outcomes for the kit's transports to answer requests with.

/// An HTTP reply of `statusCode` with `body`.
HttpOutcome httpReply(long statusCode, std::string body = std::string());
/// A failed exchange without a reply.
HttpOutcome httpFailure(HttpOutcome::Failure failure, std::string detail = "simulated failure");

}  // namespace orvane::site::testkit
