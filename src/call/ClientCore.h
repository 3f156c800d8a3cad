#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cache/Flight.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/Error.h"
#include "orvane/site/Executor.h"
#include "orvane/site/HandlerPool.h"
#include "orvane/site/transport/ConnectionPool.h"
#include "orvane/site/transport/HttpTransport.h"
#include "pipeline/Admission.h"
#include "transport/RequestUrl.h"

namespace orvane::site::internal {

class CallState;
class CacheStore;

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

  /// The connections the client's requests draw on. Never null.
  const std::shared_ptr<const ConnectionPool>& connectionPool() const noexcept {
    return connectionPool_;
  }

  /// Every form of the client's key (as sent, decoded, encoded), masked in every error text.
  const std::vector<std::string>& keySecrets() const noexcept { return keySecrets_; }

  /// Where handlers go: the options' executor, else the client's own pool, else nowhere (empty:
  /// the transport's delivery thread).
  const Executor& handlerExecutor() const noexcept { return handlerExecutor_; }
  /// Waits until the client's own pool has run every handler handed to it, at most `timeout`;
  /// true at once when the client has no pool.
  bool drainHandlers(std::chrono::nanoseconds timeout);

  /// The address (with the key) of the operation at `path`, or why none can be formed. Formed
  /// once per path: the client's host and key never change.
  const std::variant<transport::RequestUrl, Error>& requestUrl(const std::string& path);

  /// Registers a call under way; the error to end it with when the client no longer takes calls.
  std::optional<Error> track(const std::shared_ptr<CallState>& call);
  /// Forgets a call that ended.
  void untrack(CallState* call);

  /// Refuses later calls (when `close`) and cancels those under way.
  void cancelAll(bool close);

  /// The client's in-flight bound and its queue of calls waiting for a place.
  Admission& admission() noexcept { return admission_; }

  /// The entries of the options' response cache; null when the client has none.
  CacheStore* cacheStore() const noexcept;
  /// What sets this client's entries apart: its host and a digest of its key.
  const std::string& cacheScope() const noexcept { return cacheScope_; }
  /// The requests that identical calls share while they are under way.
  FlightTable& flights() noexcept { return flights_; }

 private:
  explicit ClientCore(ClientOptions options);

  const ClientOptions options_;
  const std::shared_ptr<HttpTransport> transport_;
  const std::shared_ptr<const ConnectionPool> connectionPool_;
  const std::vector<std::string> keySecrets_;
  // Made with the client; destroyed with its last call, which may happen on one of its threads.
  std::unique_ptr<HandlerPool> pool_;
  Executor handlerExecutor_;
  std::mutex mutex_;
  bool closed_ = false;
  // Calls under way, linked through their own TrackLink so that tracking allocates nothing.
  CallState* firstCall_ = nullptr;
  std::size_t callCount_ = 0;
  Admission admission_;
  std::mutex urlsMutex_;
  // A deque, so that references handed out stay valid as paths are added.
  std::deque<std::pair<std::string, std::variant<transport::RequestUrl, Error>>> urls_;
  const std::string cacheScope_;
  FlightTable flights_;
};

}  // namespace orvane::site::internal
