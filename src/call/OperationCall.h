#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "call/CallState.h"
#include "call/ClientCore.h"
#include "decoding/OwnedReply.h"
#include "facade/client/BodyTextWriter.h"
#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/CallHandle.h"
#include "orvane/site/CallOptions.h"
#include "orvane/site/Result.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/decode.h"

namespace orvane::site::internal {

/// Resolves what a call of `core` needs from the client's options and the call's own: the
/// address with the key, time-out, deadline and retry policy. Returns the Error that must end
/// the call instead when the options cannot be used.
std::optional<Error> prepareCall(ClientCore& core, const CallOptions& callOptions,
                                 const std::string& path, CallState::Setup& setup);

/// Dumps `tree` into `body`, or returns why it cannot be written as JSON.
std::optional<Error> writeCheckedBody(const nlohmann::json& tree, std::string& body);

/// Writes the body of `request` as JSON text into `body`, or returns why it cannot be written.
template <class Request>
std::optional<Error> writeRequestBody(const Request& request, std::string& body) {
  BodyTextWriter text;
  writeFields(request, text);
  if (std::optional<std::string> written = text.finish()) {
    body = std::move(*written);
    return std::nullopt;
  }
  // The tree names what cannot be written.
  BodyWriter tree;
  writeFields(request, tree);
  return writeCheckedBody(tree.take(), body);
}

/// A call of an operation whose response is `Response`: decodes its reply and hands the
/// caller's handler the typed result.
template <class Response>
class OperationCallState final : public CallState {
 public:
  OperationCallState(std::shared_ptr<ClientCore> core, Setup setup,
                     std::function<void(Result<Response>)> handler)
      : CallState(std::move(core), std::move(setup)), handler_(std::move(handler)) {}

 private:
  Result<BaseResponse> decodeReply(const std::string& body) const override {
    Result<Response> decoded = decoding::decodeOwnedReply<Response>(body);
    if (!decoded.ok()) return Result<BaseResponse>(std::move(decoded).error());
    return Result<BaseResponse>(std::shared_ptr<BaseResponse>(std::move(decoded).value()));
  }

  void runHandler(const Result<BaseResponse>& result) override {
    // Released when it returns, with whatever it holds.
    const std::function<void(Result<Response>)> handler = std::move(handler_);
    if (!handler) return;
    if (!result.ok()) {
      handler(Result<Response>(result.error()));
    } else {
      handler(Result<Response>(std::static_pointer_cast<Response>(result.value())));
    }
  }

  std::function<void(Result<Response>)> handler_;
};

/// Starts one call of an option client. `Client` is the operation's request client; only its
/// request and response types are used, never the process-wide instance.
template <class Client>
CallHandle startOperationCall(const char* operation, const std::shared_ptr<ClientCore>& core,
                              const std::string& path, typename Client::RequestType request,
                              const CallOptions& callOptions,
                              std::function<void(Result<typename Client::ResponseType>)> handler) {
  using Response = typename Client::ResponseType;
  CallState::Setup setup;
  setup.operation = operation;
  std::optional<Error> failure;
  try {
    failure = prepareCall(*core, callOptions, path, setup);
    if (!failure) failure = writeRequestBody(request, setup.body);
  } catch (const std::exception& problem) {
    failure = makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                 std::string("the call could not be prepared: ") + problem.what());
  }
  // Not make_shared: see CallState::start.
  return CallHandle(
      CallState::start(new OperationCallState<Response>(core, std::move(setup), std::move(handler)),
                       std::move(failure)));
}

}  // namespace orvane::site::internal
