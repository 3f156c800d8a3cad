#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "transport/SharedTrustStore.h"

namespace orvane::site::transport {

/// What every transfer of one CurlTransport needs, prepared once and shared read-only.
struct CurlSettings {
  /// PEM text of the system's trust store followed by the extra CAs; empty when there are no
  /// extra CAs (libcurl's own default store applies then).
  std::string caBundle;
  /// `caBundle` parsed once for all connections; null without extra CAs or when libcurl cannot
  /// take it (libcurl then parses `caBundle` per connection).
  std::shared_ptr<const SharedTrustStore> trustStore;
  std::string proxy;
  std::string noProxy;
  std::string userAgent;
  std::size_t maxResponseBytes = 0;
};

}  // namespace orvane::site::transport
