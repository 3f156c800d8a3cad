#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/Error.h"
#include "orvane/site/internal/HttpTransport.h"

namespace orvane::site::internal {

class CallState;

/// The shared part of one option client: its options (fixed at construction), its transport,
/// and the calls under way, so that destroying the client or shutting the library down can
/// cancel them. Calls hold it, so it outlives the SiteClient until its last call ended.
/// Thread-safe.
class ClientCore : public std::enable_shared_from_this<ClientCore> {
 public:
  static std::shared_ptr<ClientCore> create(ClientOptions options);

  const ClientOptions& options() const noexcept { return options_; }
  /// The transport of the options, or the shared curl transport of option clients.
  const std::shared_ptr<HttpTransport>& transport() const noexcept { return transport_; }

  /// Registers a call under way; false (and the error to end it with) when the client no
  /// longer takes calls.
  std::optional<Error> track(const std::shared_ptr<CallState>& call);
  /// Forgets a call that ended.
  void untrack(const CallState* call);

  /// Refuses later calls (when `close`) and cancels those under way.
  void cancelAll(bool close);

 private:
  explicit ClientCore(ClientOptions options);

  const ClientOptions options_;
  const std::shared_ptr<HttpTransport> transport_;
  std::mutex mutex_;
  bool closed_ = false;
  std::unordered_map<const CallState*, std::shared_ptr<CallState>> calls_;
};

}  // namespace orvane::site::internal
