#include "call/ClientCore.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cache/CacheKey.h"
#include "call/CallState.h"
#include "call/Lifecycle.h"
#include "orvane/site/ResponseCache.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/transport/CurlTransport.h"
#include "transport/SecretMask.h"

namespace orvane::site::internal {
namespace {

// The default transport of option clients: one CurlTransport, made on first use and never
// destroyed. It is not the facade's replaceable default (setDefaultHttpTransport), so an option
// client depends on nothing process-wide but the library thread.
std::shared_ptr<HttpTransport> sharedCurlTransport() {
  static auto* const transport =
      new std::shared_ptr<HttpTransport>(std::make_shared<CurlTransport>());
  return *transport;
}

}  // namespace

std::shared_ptr<ClientCore> ClientCore::create(ClientOptions options) {
  std::shared_ptr<ClientCore> core(new ClientCore(std::move(options)));
  Lifecycle::instance().registerClient(core);
  return core;
}

ClientCore::ClientCore(ClientOptions options)
    : options_(std::move(options)),
      transport_(options_.transport() ? options_.transport() : sharedCurlTransport()),
      connectionPool_(options_.connectionPool() ? options_.connectionPool()
                                                : std::make_shared<const ConnectionPool>()),
      keySecrets_(transport::keySecrets(options_.apiKey())),
      handlerExecutor_(options_.handlerExecutor()),
      admission_(options_.maxInFlight(), options_.maxQueuedCalls()),
      cacheScope_(options_.responseCache() ? clientScope(options_.host(), options_.apiKey())
                                           : std::string()) {
  if (!handlerExecutor_ && options_.handlerThreads() > 0) {
    pool_ = std::make_unique<HandlerPool>(options_.handlerThreads());
    handlerExecutor_ = pool_->executor();
  }
}

CacheStore* ClientCore::cacheStore() const noexcept {
  const auto& cache = options_.responseCache();
  return cache ? &cache->store() : nullptr;
}

bool ClientCore::drainHandlers(std::chrono::nanoseconds timeout) {
  return !pool_ || pool_->drain(timeout);
}

const std::variant<transport::RequestUrl, Error>& ClientCore::requestUrl(const std::string& path) {
  std::lock_guard<std::mutex> lock(urlsMutex_);
  for (const auto& [knownPath, url] : urls_) {
    if (knownPath == path) return url;
  }
  auto formed =
      transport::formRequestUrl(std::nullopt, options_.host(), path,
                                std::map<std::string, std::string>{{"key", options_.apiKey()}});
  return urls_.emplace_back(path, std::move(formed)).second;
}

std::optional<Error> ClientCore::track(const std::shared_ptr<CallState>& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) {
    return makeTransportError(TransportErrorCode::cancelled, std::nullopt,
                              "the client was being destroyed");
  }
  CallState::TrackLink& link = call->trackLink();
  link.self = call;
  link.previous = nullptr;
  link.next = firstCall_;
  if (firstCall_) firstCall_->trackLink().previous = call.get();
  firstCall_ = call.get();
  ++callCount_;
  return std::nullopt;
}

void ClientCore::untrack(CallState* call) {
  std::shared_ptr<CallState> released;
  std::lock_guard<std::mutex> lock(mutex_);
  CallState::TrackLink& link = call->trackLink();
  if (!link.self) return;
  if (link.previous) {
    link.previous->trackLink().next = link.next;
  } else {
    firstCall_ = link.next;
  }
  if (link.next) link.next->trackLink().previous = link.previous;
  link.previous = nullptr;
  link.next = nullptr;
  --callCount_;
  released = std::move(link.self);  // destroyed after the lock is released
}

void ClientCore::cancelAll(bool close) {
  std::vector<std::shared_ptr<CallState>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (close) closed_ = true;
    calls.reserve(callCount_);
    for (CallState* call = firstCall_; call; call = call->trackLink().next) {
      calls.push_back(call->trackLink().self);
    }
  }
  for (const auto& call : calls) call->cancel();
}

}  // namespace orvane::site::internal
