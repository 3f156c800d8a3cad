#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "facade/client/FacadeLifetime.h"
#include "orvane/site/Error.h"
#include "orvane/site/internal/client/BaseRequestClient.h"

namespace orvane::site::internal {

/// Logs, at "ERROR" and under the operation's name, that a caller's handler threw.
void logHandlerException(const char* operation, const char* what);

/// The error a handler gets when the reply it was handed is not its operation's response.
Error unexpectedResponseError();

/// Wraps a caller's handler in the completion a request client calls.
///
/// The wrapper holds the facade weakly: once the facade is gone, the handler is not called. It
/// calls the handler at most once whatever calls it, with (response, nullopt) or (nullptr,
/// error); a value of another type than `Response` (or no value and no error) becomes an error.
/// An empty handler drops the result; an exception the handler throws is logged and dropped.
template <class Response>
BaseRequestClient::Completion wrapHandler(
    std::weak_ptr<FacadeLifetime> facade,
    std::function<void(std::shared_ptr<Response>, std::optional<Error>)> handler,
    const char* operation) {
  auto called = std::make_shared<std::atomic<bool>>(false);
  return [facade = std::move(facade), handler = std::move(handler), called, operation](
             std::shared_ptr<BaseResponse> value, std::optional<Error> error) {
    if (called->exchange(true)) return;
    const std::shared_ptr<FacadeLifetime> lifetime = facade.lock();
    if (!lifetime) return;
    FacadeLifetime::Entry entry(*lifetime);
    if (!entry || !handler) return;
    std::shared_ptr<Response> response;
    if (!error) {
      response = std::dynamic_pointer_cast<Response>(std::move(value));
      if (!response) error = unexpectedResponseError();
    }
    try {
      handler(std::move(response), std::move(error));
    } catch (const std::exception& failure) {
      logHandlerException(operation, failure.what());
    } catch (...) {
      logHandlerException(operation, "an exception that is not a std::exception");
    }
  };
}

}  // namespace orvane::site::internal
