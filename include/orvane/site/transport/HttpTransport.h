#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/transport/HttpOutcome.h"
#include "orvane/site/transport/HttpRequest.h"

namespace orvane::site {

/// The seam between the library and an HTTP stack: send one request, run a task after a
/// delay, run a task soon.
///
/// The default is CurlTransport, which runs everything on the library thread
/// "orvane-site-services". Unit tests use a fake, and applications may bring their own HTTP
/// stack by implementing this interface and installing it with setDefaultHttpTransport().
///
/// Contract for implementations:
/// - All three members are thread-safe and return at once; none calls back inside the call
///   that scheduled the work.
/// - Completions and tasks run on the transport's delivery thread (for CurlTransport, the one
///   library thread). A transport may run them in any order except that `post` tasks run in
///   the order they were posted and a `runAfter` task never runs before its delay has passed.
/// - Every accepted request ends with exactly one call of its completion, even when it fails.
class ORVANE_SITE_EXPORT HttpTransport {
 public:
  /// Receives the outcome of one request, once.
  using Completion = std::function<void(HttpOutcome outcome)>;
  /// Work run later by the transport.
  using Task = std::function<void()>;

  /// A request under way that its sender may stop (see `sendCancellable`).
  class Exchange {
   public:
    virtual ~Exchange() = default;
    /// Stops the exchange: a transport removes a waiting request from its queue and closes or
    /// returns the connection of one under way. Idempotent and thread-safe. After it the
    /// completion may still run once (with a late result, which the sender ignores) or never.
    /// The default does nothing.
    virtual void cancel() {}
  };

  virtual ~HttpTransport() = default;

  /// Sends `request`; `completion` runs exactly once with the reply or the failure.
  virtual void send(HttpRequest request, Completion completion) = 0;

  /// Sends `request` like `send`, returning a handle that can stop it. The default calls
  /// `send` and returns a handle whose cancel does nothing, so transports written before this
  /// member existed keep working: their cancelled calls still end at once, and the late
  /// completion is ignored. Never returns null.
  virtual std::shared_ptr<Exchange> sendCancellable(HttpRequest request, Completion completion) {
    send(std::move(request), std::move(completion));
    return std::make_shared<Exchange>();
  }
  /// Runs `task` once after `delay` (a timer: no thread sleeps). A zero or negative delay runs
  /// it as soon as possible.
  virtual void runAfter(std::chrono::nanoseconds delay, Task task) = 0;
  /// Runs `task` once, as soon as possible, after the current call has returned.
  virtual void post(Task task) = 0;
};

/// The transport used by request managers that were not given one: a CurlTransport with
/// default options, created on first use (creating it starts no thread), unless
/// setDefaultHttpTransport() installed another. Thread-safe.
ORVANE_SITE_EXPORT std::shared_ptr<HttpTransport> defaultHttpTransport();

/// Installs the transport for request managers created from now on; a null pointer restores
/// the curl default. Calls already under way keep theirs. Thread-safe.
///
/// \code
/// orvane::site::CurlTransportOptions options;
/// options.caInfoFile = "/etc/myapp/extra-ca.pem";   // trusted in addition to the system store
/// options.proxy = "http://proxy.example:3128";
/// orvane::site::setDefaultHttpTransport(std::make_shared<orvane::site::CurlTransport>(options));
/// \endcode
ORVANE_SITE_EXPORT void setDefaultHttpTransport(std::shared_ptr<HttpTransport> transport);

}  // namespace orvane::site
