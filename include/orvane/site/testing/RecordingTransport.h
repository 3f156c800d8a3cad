#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

/// A transport that sends through another one and writes every finished exchange to a
/// cassette, for ReplayTransport to serve later without the service.
///
/// \code
/// auto recorder = std::make_shared<orvane::site::testkit::RecordingTransport>(
///     standin.transport(), "geocode.jsonl", std::vector<std::string>{standin.apiKey()});
/// orvane::site::ClientOptions options = standin.clientOptions();
/// options.setTransport(recorder);
/// \endcode
///
/// The cassette holds one JSON object a line, appended as each exchange ends:
/// `{"operation": "geocode", "path": "/mapApi/v1/siteService/geocode", "request": {...},
/// "status": 200, "reply": "...", "millis": 12}`; an exchange that got no reply has
/// `"failure": "connectionFailed"` (or "timedOut", "tlsFailure", "otherFailure") in place of
/// status and reply. The URL's query, where the key travels, is never written, nor are headers;
/// every secret given to the constructor is replaced by "***" wherever it appears in what is
/// written, as is, percent-encoded or JSON-escaped.
///
/// Thread-safe: exchanges may end on any thread, and each line is written whole.
class RecordingTransport final : public HttpTransport {
 public:
  /// Sends through `inner` and appends to the file at `cassettePath`, masking `secrets` (the
  /// API keys in use; empty ones are ignored). Throws std::invalid_argument when `inner` is
  /// null and std::runtime_error when the file cannot be opened.
  RecordingTransport(std::shared_ptr<HttpTransport> inner, const std::string& cassettePath,
                     const std::vector<std::string>& secrets);

  RecordingTransport(const RecordingTransport&) = delete;
  RecordingTransport& operator=(const RecordingTransport&) = delete;

  /// Sends through the inner transport; the exchange is recorded before `completion` runs.
  void send(HttpRequest request, Completion completion) override;
  /// Like send(); a cancelled exchange whose completion never runs is not recorded.
  std::shared_ptr<Exchange> sendCancellable(HttpRequest request, Completion completion) override;
  /// Passed to the inner transport.
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  /// Passed to the inner transport.
  void post(Task task) override;

 private:
  class Cassette;

  Completion recording(const HttpRequest& request, Completion completion) const;

  std::shared_ptr<HttpTransport> inner_;
  // Shared with the completions under way, which may end after the recorder is gone.
  std::shared_ptr<Cassette> cassette_;
};

}  // namespace orvane::site::testkit
