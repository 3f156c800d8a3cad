#pragma once

#include <string>

#include "orvane/site/transport/CurlTransportOptions.h"

namespace orvane::site::transport {

/// The PEM text of the extra CA certificates that `options` asks to trust (`caInfoFile`, then
/// `caInfoPem`). Empty when it adds none. Throws std::invalid_argument when `caInfoFile` cannot
/// be read or an extra source holds no PEM certificate.
std::string extraCertificatesPem(const CurlTransportOptions& options);

/// The system's trust store as PEM text (libcurl's CA file, else a usual bundle location)
/// followed by `extraPem`, so that the extras add to the system store instead of replacing it
/// (libcurl with OpenSSL replaces its default file when given one).
std::string withSystemCertificates(const std::string& extraPem);

/// `withSystemCertificates(extraCertificatesPem(options))`, or empty when `options` adds no CA.
std::string trustedCertificatesPem(const CurlTransportOptions& options);

/// libcurl's built-in CA directory (hashed certificate files), or empty when it has none.
std::string systemCertificateDirectory();

/// The text of libcurl's built-in CA file, exactly the file libcurl itself reads; empty when it
/// has none or the file cannot be read.
std::string builtInCaFileText();

}  // namespace orvane::site::transport
