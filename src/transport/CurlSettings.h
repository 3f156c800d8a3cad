#pragma once

#include <cstddef>
#include <string>

namespace orvane::site::transport {

/// What every transfer of one CurlTransport needs, prepared once and shared read-only.
struct CurlSettings {
  /// PEM text of the system's trust store followed by the extra CAs; empty when there are no
  /// extra CAs (libcurl's own default store applies then).
  std::string caBundle;
  std::string proxy;
  std::string noProxy;
  std::string userAgent;
  std::size_t maxResponseBytes = 0;
};

}  // namespace orvane::site::transport
