#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "orvane/site/Export.h"
#include "orvane/site/transport/CurlTransportOptions.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site {

/// The default HttpTransport: libcurl's multi interface on the one library thread.
///
/// Every CurlTransport of the process shares one thread, named "orvane-site-services" (Linux
/// shows the first 15 characters, "orvane-site-ser"), started by the first request, timer or
/// task of any of them and never stopped. That thread runs every transfer, every `runAfter`
/// timer and every `post` task, and calls every completion. The number of threads does not grow
/// with the number of calls. Connections are kept and reused between requests to the same host.
/// HTTP/2 is used over TLS where the server offers it (CurlTransportOptions::httpVersion): the
/// requests to one host then share one connection as streams, up to the server's stream limit,
/// and concurrent requests wait for that connection rather than opening their own; else
/// HTTP/1.1, one request per connection at a time. At most 32 requests are in flight to one host
/// and 128 in all (ConnectionLimits): further requests wait in arrival order. A request's
/// time-out starts when its transfer starts; a request still waiting at its deadline
/// (HttpRequest::deadline) ends with a time-out without being sent. `sendCancellable` handles
/// stop a waiting request or a transfer under way (over HTTP/1.1 its connection is closed, over
/// HTTP/2 its stream is reset and the connection kept), and the completion of a cancelled
/// request is dropped. Redirects are not followed, and only "https" and "http" URLs are fetched.
/// SIGPIPE and the application's other signals are blocked on the library thread.
///
/// At process exit (return from main or std::exit) the library thread stops for good: at once
/// when it is idle, else as soon as the completion or task it runs returns; exit waits for that
/// at most one second. So a completion or task that is running when exit begins may go on while
/// static objects are destroyed: it must not rely on the application's static or global objects
/// then. No completion, task or timer starts after exit began, transfers under way are not
/// driven further, and the TLS library's state stays usable to the end. Requests under way at
/// exit never get their completion.
///
/// All members are thread-safe. A CurlTransport may be destroyed while its requests are under
/// way: they still end with their completion. `send`, `runAfter` and `post` throw
/// std::system_error (or std::runtime_error) only when the library thread or libcurl cannot be
/// started at all; the next call tries again.
class ORVANE_SITE_EXPORT CurlTransport : public HttpTransport {
 public:
  /// The name of the library thread.
  static constexpr const char* kLibraryThreadName = "orvane-site-services";

  /// Reads `options.caInfoFile` now. Throws std::invalid_argument when that file cannot be
  /// read, when it or `options.caInfoPem` holds no PEM certificate, or when
  /// `options.userAgent` holds a CR, LF or NUL. Starts no thread.
  explicit CurlTransport(CurlTransportOptions options = {});
  ~CurlTransport() override;

  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  void send(HttpRequest request, Completion completion) override;
  std::shared_ptr<Exchange> sendCancellable(HttpRequest request, Completion completion) override;
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  void post(Task task) override;

  /// The options this transport was made with.
  const CurlTransportOptions& options() const noexcept;

  /// Connections this transport's requests have opened so far (a reused connection or an
  /// HTTP/2 stream on one opens none), counted as each request ends or is cancelled.
  std::uint64_t connectionsOpened() const noexcept;
  /// Of connectionsOpened(), those that began with a TLS handshake ("https" requests).
  std::uint64_t tlsHandshakes() const noexcept;

  /// True when called on the library thread.
  static bool isLibraryThread() noexcept;

 private:
  struct Settings;
  std::shared_ptr<const Settings> settings_;
};

}  // namespace orvane::site
