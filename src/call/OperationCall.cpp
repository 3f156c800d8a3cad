#include "call/OperationCall.h"

#include <variant>

#include "facade/client/JsonBodyCheck.h"
#include "orvane/site/TransportErrorCode.h"
#include "transport/RequestUrl.h"

namespace orvane::site::internal {

std::optional<Error> prepareCall(ClientCore& core, const CallOptions& callOptions,
                                 const std::string& path, CallState::Setup& setup) {
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
  const auto& formed = core.requestUrl(path);
  if (const auto* error = std::get_if<Error>(&formed)) return *error;
  setup.url = &std::get<transport::RequestUrl>(formed).url;
  return std::nullopt;
}

std::optional<Error> writeCheckedBody(const nlohmann::json& tree, std::string& body) {
  if (std::optional<std::string> problem = findUnwritableJson(tree)) {
    return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              "the request cannot be written as JSON: " + *problem);
  }
  body = tree.dump();
  return std::nullopt;
}

}  // namespace orvane::site::internal
