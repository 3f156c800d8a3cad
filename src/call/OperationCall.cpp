#include "call/OperationCall.h"

#include <map>
#include <variant>

#include "internal/client/JsonBodyCheck.h"
#include "orvane/site/TransportErrorCode.h"
#include "transport/RequestUrl.h"

namespace orvane::site::internal {

std::optional<Error> prepareCall(const ClientCore& core, const CallOptions& callOptions,
                                 const std::string& path, const nlohmann::json& body,
                                 CallState::Setup& setup) {
  const ClientOptions& options = core.options();
  setup.attemptTimeout = callOptions.attemptTimeout().value_or(options.attemptTimeout());
  setup.deadline = callOptions.deadline().value_or(options.deadline());
  setup.retryPolicy = callOptions.retryPolicy().value_or(options.retryPolicy());
  if (options.apiKey().empty()) {
    return makeTransportError(TransportErrorCode::invalidApiKey, std::nullopt,
                              "the client's options hold no API key");
  }
  if (setup.attemptTimeout <= std::chrono::nanoseconds::zero()) {
    return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              "the attempt time-out is not positive");
  }
  if (setup.deadline <= std::chrono::nanoseconds::zero()) {
    return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              "the deadline is not positive");
  }
  auto formed =
      transport::formRequestUrl(std::nullopt, options.host(), path,
                                std::map<std::string, std::string>{{"key", options.apiKey()}});
  if (auto* error = std::get_if<Error>(&formed)) return *error;
  setup.url = std::move(std::get<transport::RequestUrl>(formed).url);
  setup.secret = options.apiKey();
  if (std::optional<std::string> problem = findUnwritableJson(body)) {
    return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              "the request cannot be written as JSON: " + *problem);
  }
  setup.body = body.dump();
  return std::nullopt;
}

Error noOptionsError() {
  return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                            "this SiteClient was made without ClientOptions; calls that return "
                            "a Call need SiteClient(ClientOptions)");
}

}  // namespace orvane::site::internal
