#include "call/ClientCore.h"

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
      transport_(options_.transport() ? options_.transport() : sharedCurlTransport()) {}

std::optional<Error> ClientCore::track(const std::shared_ptr<CallState>& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) {
    return makeTransportError(TransportErrorCode::cancelled, std::nullopt,
                              "the client was being destroyed");
  }
  calls_.emplace(call.get(), call);
  return std::nullopt;
}

void ClientCore::untrack(const CallState* call) {
  std::shared_ptr<CallState> released;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = calls_.find(call);
  if (found == calls_.end()) return;
  released = std::move(found->second);  // destroyed after the lock is released
  calls_.erase(found);
}

void ClientCore::cancelAll(bool close) {
  std::vector<std::shared_ptr<CallState>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (close) closed_ = true;
    calls.reserve(calls_.size());
    for (const auto& entry : calls_) calls.push_back(entry.second);
  }
  for (const auto& call : calls) call->cancel();
}

}  // namespace orvane::site::internal
