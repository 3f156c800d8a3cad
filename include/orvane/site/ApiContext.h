#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// The connection values of a call: API key, host, scheme, retry count, retry pause and time-out.
///
/// Contexts are filled through one process-wide builder context: every setter writes into the
/// builder context (not into the object it is called on) and returns the object it was called
/// on, so that calls chain; `build()` returns the builder context, the same object every time.
///
/// \code
/// auto ctx = orvane::site::ApiContext().setApiKey("KEY").setMaxRetry(5).build();
/// orvane::site::SiteClient::provideApiContext(ctx);
/// \endcode
///
/// Each change of scheme, host, retry count, retry pause or time-out writes an "INFO" log line;
/// the API key is never logged. No value is validated. All members are thread-safe.
class ORVANE_SITE_EXPORT ApiContext {
 public:
  /// A context with the default values ("https", the default host, 3, 1.0, 60.0, empty key).
  ApiContext();
  /// Copies the values of `other` (a consistent snapshot).
  ApiContext(const ApiContext& other);
  /// Copies the values of `other` (a consistent snapshot) into this context.
  ApiContext& operator=(const ApiContext& other);

  /// Stores the scheme and logs the change. The value is kept and returned by `apiScheme()`,
  /// but calls do not use it: every call goes over "https" whatever it says, because the API key
  /// travels in the request's address and must never be sent in clear text.
  ApiContext& setApiScheme(const std::string& apiScheme);
  /// Sets the API key in the builder context; returns this object, for chaining.
  ApiContext& setApiKey(const std::string& apiKey);
  /// Sets the host (may carry a port, "localhost:8443") in the builder context; returns this
  /// object.
  ApiContext& setBaseUrl(const std::string& baseUrl);
  /// Sets the number of retries after a server error in the builder context; returns this object.
  ApiContext& setMaxRetry(std::int64_t maxRetry);
  /// Sets the pause before the first retry, in seconds, in the builder context; returns this
  /// object.
  ApiContext& setRetryInterval(double retryInterval);
  /// Sets the time-out of one attempt, in seconds, in the builder context; returns this object.
  ApiContext& setTimeoutInterval(double timeoutInterval);

  /// The process-wide builder context that the setters fill; created on first use, never
  /// replaced or reset.
  std::shared_ptr<ApiContext> build();

  /// Current values (copies, safe against concurrent changes).
  std::string apiScheme() const;
  /// The host, with its port when one was given.
  std::string baseUrl() const;
  /// Retries after a server error.
  std::int64_t maxRetry() const;
  /// Pause before the first retry, in seconds.
  double retryInterval() const;
  /// Time-out of one attempt, in seconds.
  double timeoutInterval() const;
  /// The API key (never logged by the library).
  std::string apiKey() const;

 private:
  static std::shared_ptr<ApiContext> builderContext();

  mutable std::mutex mutex_;
  std::string apiScheme_;
  std::string baseUrl_;
  std::int64_t maxRetry_;
  double retryInterval_;
  double timeoutInterval_;
  std::string apiKey_;
};

}  // namespace orvane::site
