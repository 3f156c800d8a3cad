#pragma once

#include <string>

#include "orvane/site/internal/CurlTransportOptions.h"

namespace orvane::site::transport {

/// The PEM text to trust when `options` adds CA certificates: the system's trust store followed
/// by the extra certificates, so that the extras add to the system store instead of replacing
/// it (libcurl with OpenSSL replaces its default file when given one). Empty when `options`
/// adds none. Throws std::invalid_argument when `caInfoFile` cannot be read or an extra source
/// holds no PEM certificate.
std::string trustedCertificatesPem(const CurlTransportOptions& options);

}  // namespace orvane::site::transport
