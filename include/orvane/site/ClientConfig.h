#pragma once

#include <cstdint>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// The library's default connection values. Read-only; safe to read from any thread.
struct ORVANE_SITE_EXPORT ClientConfig {
  /// "https": every call uses it.
  static const std::string ApiScheme;
  /// The service's default API host, "site-api.orvane.com".
  static const std::string BaseUrl;
  /// "mapApi/v1/siteService/": the path that every operation but time zone extends.
  static const std::string ApiPath;
  /// 3 retries after the first attempt.
  static const std::int64_t maxRetry;
  /// 1.0 second before the first retry.
  static const double retryInterval;
  /// 60.0 seconds.
  static const double timeoutInterval;
};

/// A record with no members, kept for applications that name it.
struct ApiInfoConstants {};

}  // namespace orvane::site
