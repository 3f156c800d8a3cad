#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cache/CacheKey.h"
#include "cache/CacheReport.h"
#include "cache/CacheStore.h"
#include "cache/CachedCall.h"
#include "cache/Flight.h"
#include "call/Lifecycle.h"
#include "call/OperationCall.h"
#include "orvane/site/ResponseCache.h"

namespace orvane::site::internal {

/// A cached call of an operation whose response is `Response`.
template <class Response>
class CachedCallOf final : public CachedCall {
 public:
  CachedCallOf(std::shared_ptr<ClientCore> core, std::chrono::nanoseconds deadline,
               std::function<void(Result<Response>)> handler)
      : CachedCall(std::move(core), deadline), handler_(std::move(handler)) {}

 private:
  std::shared_ptr<BaseResponse> ownCopy(const BaseResponse& response) const override {
    return std::make_shared<Response>(static_cast<const Response&>(response));
  }

  void runHandler(const Result<BaseResponse>& result) override {
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

/// The request of a flight: a call of the pipeline whose end answers the flight's callers and
/// keeps a complete reply in the cache.
template <class Response>
class FlightCallState final : public CallState {
 public:
  FlightCallState(const std::shared_ptr<ClientCore>& core, const char* operation, Setup setup,
                  std::shared_ptr<Flight> flight, std::chrono::nanoseconds lifetime)
      : CallState(core, std::move(setup)),
        owner_(core),
        operation_(operation),
        flight_(std::move(flight)),
        lifetime_(lifetime) {}

 private:
  Result<BaseResponse> decodeReply(const std::string& body) const override {
    replyBytes_ = body.size();
    Result<Response> decoded = decoding::decodeOwnedReply<Response>(body);
    if (!decoded.ok()) return Result<BaseResponse>(std::move(decoded).error());
    return Result<BaseResponse>(std::shared_ptr<BaseResponse>(std::move(decoded).value()));
  }

  void runHandler(const Result<BaseResponse>& result) override {
    const std::shared_ptr<Flight> flight = std::move(flight_);
    if (!flight) return;
    ClientCore& core = *owner_;
    // Only a complete answer is kept: not an error, not a reply the service marked otherwise
    // (notFound and the like), not a cancelled call.
    if (result.ok() && result.value()->returnCode.value_or("0") == "0") {
      const auto& observer = core.options().observer();
      for (const std::string& operation : core.cacheStore()->store(
               flight->key(), operation_, result.value(), replyBytes_, lifetime_)) {
        reportCache(observer, operation, CallObserver::CacheEvent::Kind::eviction);
      }
    }
    for (const auto& caller : core.flights().finish(flight)) caller->answer(result);
  }

  const std::shared_ptr<ClientCore> owner_;
  const char* const operation_;
  std::shared_ptr<Flight> flight_;
  const std::chrono::nanoseconds lifetime_;
  mutable std::size_t replyBytes_ = 0;
};

/// Starts one call of an option client that has a response cache: answered from a fresh entry,
/// joined to an identical call under way, or sent as a new shared request. Operations the cache
/// leaves off, and calls that cannot be prepared, go through the pipeline as usual.
template <class Client>
CallHandle startCachingCall(const char* operation, const std::shared_ptr<ClientCore>& core,
                            const std::string& path, typename Client::RequestType request,
                            const CallOptions& callOptions,
                            std::function<void(Result<typename Client::ResponseType>)> handler) {
  using Response = typename Client::ResponseType;
  CacheStore* store = core->cacheStore();
  const std::chrono::nanoseconds lifetime =
      store ? store->options().lifetime(operation) : std::chrono::nanoseconds::zero();
  if (lifetime <= std::chrono::nanoseconds::zero() || core->cacheScope().empty() ||
      !Lifecycle::instance().accepting()) {
    return startOperationCall<Client>(operation, core, path, std::move(request), callOptions,
                                      std::move(handler));
  }
  CallState::Setup setup;
  setup.operation = operation;
  std::optional<Error> failure;
  std::string keyBody;
  try {
    failure = prepareCall(*core, callOptions, path, setup);
    if (!failure) failure = writeRequestBody(request, setup.body);
    const double grid = store->options().positionGrid(operation);
    if (!failure && grid > 0.0 && roundPosition(request, grid)) {
      failure = writeRequestBody(request, keyBody);
    }
  } catch (const std::exception& problem) {
    failure = makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                 std::string("the call could not be prepared: ") + problem.what());
  }
  if (failure) {
    return CallHandle(CallState::start(
        new OperationCallState<Response>(core, std::move(setup), std::move(handler)),
        std::move(failure)));
  }
  const std::string key =
      cacheKey(operation, core->cacheScope(), keyBody.empty() ? setup.body : keyBody);
  auto caller = std::make_shared<CachedCallOf<Response>>(core, setup.deadline, std::move(handler));
  caller->begin();
  const auto& observer = core->options().observer();
  if (std::shared_ptr<const BaseResponse> kept = store->find(key)) {
    reportCache(observer, operation, CallObserver::CacheEvent::Kind::hit);
    caller->answer(Result<BaseResponse>(std::const_pointer_cast<BaseResponse>(kept)));
    return CallHandle(caller);
  }
  bool opened = false;
  std::shared_ptr<Flight> flight = core->flights().joinOrOpen(key, caller, opened);
  if (opened) {
    // An identical flight may have ended since the lookup: it kept its reply before it closed.
    if (std::shared_ptr<const BaseResponse> kept = store->find(key)) {
      const Result<BaseResponse> reply(std::const_pointer_cast<BaseResponse>(kept));
      for (const auto& each : core->flights().finish(flight)) {
        reportCache(observer, operation, CallObserver::CacheEvent::Kind::hit);
        each->answer(reply);
      }
      return CallHandle(caller);
    }
  }
  reportCache(
      observer, operation,
      opened ? CallObserver::CacheEvent::Kind::miss : CallObserver::CacheEvent::Kind::coalesced);
  caller->join(flight);
  if (opened) {
    // The request outlives any one caller's deadline: it ends when the last caller left.
    setup.deadline = std::max(setup.deadline, core->options().deadline());
    core->flights().attach(
        flight,
        CallHandle(CallState::start(
            new FlightCallState<Response>(core, operation, std::move(setup), flight, lifetime),
            std::nullopt)));
  }
  return CallHandle(caller);
}

}  // namespace orvane::site::internal
