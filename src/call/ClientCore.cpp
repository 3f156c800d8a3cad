#include "call/ClientCore.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "call/CallState.h"
#include "call/Lifecycle.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/CurlTransport.h"

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
      handlerExecutor_(options_.handlerExecutor()) {
  if (!handlerExecutor_ && options_.handlerThreads() > 0) {
    pool_ = std::make_unique<HandlerPool>(options_.handlerThreads());
    handlerExecutor_ = pool_->executor();
  }
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

ClientCore::Admission ClientCore::admit(const std::shared_ptr<CallState>& call) {
  const std::size_t bound = options_.maxInFlight();
  if (bound == 0) return Admission::granted;
  std::lock_guard<std::mutex> lock(mutex_);
  if (inFlight_ < bound) {
    ++inFlight_;
    return Admission::granted;
  }
  if (waiting_.size() >= options_.maxQueuedCalls()) return Admission::full;
  waiting_.push_back(call);
  return Admission::queued;
}

void ClientCore::releaseSlot() {
  if (options_.maxInFlight() == 0) return;
  for (;;) {
    std::shared_ptr<CallState> next;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (waiting_.empty()) {
        if (inFlight_ > 0) --inFlight_;
        return;
      }
      next = std::move(waiting_.front());
      waiting_.pop_front();
    }
    // The place passes on unless that call has ended meanwhile.
    if (next->takeSlot()) return;
  }
}

void ClientCore::forgetWaiting(const CallState* call) {
  std::shared_ptr<CallState> released;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto at = waiting_.begin(); at != waiting_.end(); ++at) {
    if (at->get() != call) continue;
    released = std::move(*at);
    waiting_.erase(at);
    return;
  }
}

}  // namespace orvane::site::internal
