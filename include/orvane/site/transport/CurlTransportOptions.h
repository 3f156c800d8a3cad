#pragma once

#include <cstddef>
#include <string>

#include "orvane/site/Export.h"
#include "orvane/site/transport/ConnectionLimits.h"

namespace orvane::site {

/// Settings of a CurlTransport. Nothing here is read from the environment: libcurl's proxy
/// variables (http_proxy, HTTPS_PROXY, ALL_PROXY, NO_PROXY, ...) are ignored, and a proxy is
/// used only when `proxy` names one.
///
/// TLS verification of the server's certificate and host name is always on and cannot be
/// turned off. The system's trust store is always used; the two `caInfo` fields only add
/// certificate authorities to it (for a company CA or a test server's CA). The store is parsed
/// once and shared by every connection: without extra CAs, the system's store is read once per
/// process and again when a day old; with them, the system's store and the extra CAs are read
/// when the transport is created.
struct ORVANE_SITE_EXPORT CurlTransportOptions {
  /// Which HTTP version the transport speaks.
  enum class HttpVersion {
    /// HTTP/2 over TLS where the server offers it (ALPN), else HTTP/1.1; plain "http" URLs use
    /// HTTP/1.1. Calls to one host share one HTTP/2 connection, up to the server's stream limit.
    automatic,
    /// HTTP/1.1 only, one request at a time on each connection.
    http1_1,
    /// HTTP/2 offered first: over TLS as `automatic` (a server that offers only HTTP/1.1 is
    /// still spoken to in HTTP/1.1); plain "http" URLs speak HTTP/2 at once, without upgrade.
    http2,
  };

  /// Path of a PEM file holding one or more extra CA certificates, trusted in addition to the
  /// system's store. Empty: none. Read once, when the transport is created.
  std::string caInfoFile;
  /// PEM text of extra CA certificates, trusted in addition to the system's store and to
  /// `caInfoFile`. Empty: none.
  std::string caInfoPem;
  /// Proxy URL in libcurl's syntax, for example "http://proxy.example:3128" or
  /// "socks5h://127.0.0.1:1080". Empty: direct connections. It may hold credentials; the
  /// library never logs it, and masks it (credentials above all) in every failure detail.
  std::string proxy;
  /// Comma-separated host names that bypass `proxy` ("*" for all). Used only with `proxy`.
  std::string noProxy;
  /// Replies whose body grows beyond this many bytes (after content decoding) end with
  /// HttpOutcome::Failure::otherFailure instead of filling memory. 0 means no limit. The
  /// service's replies stay far below the default of 8 MiB.
  std::size_t maxResponseBytes = std::size_t{8} * 1024 * 1024;
  /// Reply bytes that all calls of this transport may hold together while their replies arrive
  /// (up to 128 at once). A reply that would take the total beyond it ends with
  /// HttpOutcome::Failure::otherFailure; the bytes of a reply count until its completion has
  /// returned. 0 means no limit.
  std::size_t maxResponseBytesInAll = std::size_t{256} * 1024 * 1024;
  /// Value of the User-Agent header. A value holding CR, LF or NUL is refused: the CurlTransport
  /// constructor throws std::invalid_argument.
  std::string userAgent = "orvane-site";
  /// Connections that all requests of this transport may use at once, whatever their pools.
  /// Requests that name no pool share one of ConnectionLimits() (32 per host, 128 in all).
  /// Limits that are not positive make the constructor throw std::invalid_argument.
  ConnectionLimits connectionLimits{256, 512};
  /// The HTTP version to speak; HttpOutcome::protocol and CallObserver::Attempt::protocol tell
  /// which one each exchange used.
  HttpVersion httpVersion = HttpVersion::automatic;
};

}  // namespace orvane::site
