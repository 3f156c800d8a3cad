#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

class ApiContext;

/// The process-wide configuration provided once: calls without a context take their API key and
/// host from it, and every operation but time zone builds its path from its API path.
///
/// The cached retry count, retry pause and time-out can be read and written but no call uses
/// them. All members are thread-safe.
class ORVANE_SITE_EXPORT ContextDataCache {
 public:
  /// The process-wide cache, created on first use with the default values.
  static std::shared_ptr<ContextDataCache> shared();
  /// Replaces the process-wide cache seen by every later `shared()`. A null pointer is ignored.
  static void setShared(std::shared_ptr<ContextDataCache> cache);
  /// Copies a context into `shared()`: a non-empty key replaces the cached key; an empty scheme
  /// or host falls back to the default; the API path is reset to ClientConfig::ApiPath; retry
  /// values are copied unchecked. A null context changes nothing.
  static void set(const std::shared_ptr<ApiContext>& apiContext);

  /// The cached API key.
  std::string apiKey() const;
  /// The cached host (with its port when one was given).
  std::string baseUrl() const;
  /// The cached API path, ClientConfig::ApiPath ("mapApi/v1/siteService/") by default.
  std::string apiPath() const;
  /// The cached scheme, "https".
  std::string apiScheme() const;

  /// The cached retry count (no call reads it).
  std::int64_t maxRetry() const;
  /// Stores a retry count (no call reads it).
  void setMaxRetry(std::int64_t value);
  /// The cached retry pause in seconds (no call reads it).
  double retryInterval() const;
  /// Stores a retry pause in seconds (no call reads it).
  void setRetryInterval(double value);
  /// The cached time-out in seconds (no call reads it).
  double timeoutInterval() const;
  /// Stores a time-out in seconds (no call reads it).
  void setTimeoutInterval(double value);

  /// A cache holding the default values; applications may build one to pass to `setShared`.
  ContextDataCache();

 private:
  void update(const ApiContext& context);

  mutable std::mutex mutex_;
  std::string apiKey_;
  std::string baseUrl_;
  std::string apiPath_;
  std::string apiScheme_;
  std::int64_t maxRetry_;
  double retryInterval_;
  double timeoutInterval_;
};

}  // namespace orvane::site
