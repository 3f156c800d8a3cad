#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/Error.h"
#include "orvane/site/Executor.h"
#include "orvane/site/HandlerPool.h"
#include "orvane/site/internal/HttpTransport.h"
#include "transport/RequestUrl.h"

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

  /// Where handlers go: the options' executor, else the client's own pool, else nowhere (empty:
  /// the transport's delivery thread).
  const Executor& handlerExecutor() const noexcept { return handlerExecutor_; }
  /// Waits until the client's own pool has run every handler handed to it, at most `timeout`;
  /// true at once when the client has no pool.
  bool drainHandlers(std::chrono::nanoseconds timeout);

  /// Registers a call under way; false (and the error to end it with) when the client no
  /// longer takes calls.
  /// The address (with the key) of the operation at `path`, or why none can be formed. Formed
  /// once per path: the client's host and key never change.
  const std::variant<transport::RequestUrl, Error>& requestUrl(const std::string& path);

  std::optional<Error> track(const std::shared_ptr<CallState>& call);
  /// Forgets a call that ended.
  void untrack(CallState* call);

  /// Refuses later calls (when `close`) and cancels those under way.
  void cancelAll(bool close);

  /// The answer of the client's in-flight bound to a new call.
  enum class Admission { granted, queued, full };
  /// Gives `call` one of the `maxInFlight` places, or queues it in order (it is started by
  /// `releaseSlot` later), or refuses it when `maxQueuedCalls` already wait.
  Admission admit(const std::shared_ptr<CallState>& call);
  /// Hands the place of a call that ended to the oldest waiting call still alive.
  void releaseSlot();
  /// Forgets a waiting call that ended before it got a place.
  void forgetWaiting(const CallState* call);

 private:
  explicit ClientCore(ClientOptions options);

  const ClientOptions options_;
  const std::shared_ptr<HttpTransport> transport_;
  // Made with the client; destroyed with its last call, which may happen on one of its threads.
  std::unique_ptr<HandlerPool> pool_;
  Executor handlerExecutor_;
  std::mutex mutex_;
  bool closed_ = false;
  // Calls under way, linked through their own TrackLink so that tracking allocates nothing.
  CallState* firstCall_ = nullptr;
  std::size_t callCount_ = 0;
  std::size_t inFlight_ = 0;
  std::deque<std::shared_ptr<CallState>> waiting_;
  std::mutex urlsMutex_;
  // A deque, so that references handed out stay valid as paths are added.
  std::deque<std::pair<std::string, std::variant<transport::RequestUrl, Error>>> urls_;
};

}  // namespace orvane::site::internal
