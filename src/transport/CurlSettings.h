#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/site/transport/ConnectionPool.h"
#include "transport/ReplyBudget.h"
#include "transport/SharedTrustStore.h"

namespace orvane::site::transport {

/// The connections the transfers of one transport opened, summed from what libcurl tells of
/// each transfer; shared by the transfers, written on the library thread, read anywhere.
struct ConnectionTally {
  std::atomic<std::uint64_t> opened{0};
  /// Those of "https" transfers, each of which began with a TLS handshake.
  std::atomic<std::uint64_t> tlsHandshakes{0};
};

/// What every transfer of one CurlTransport needs, prepared once and shared read-only.
struct CurlSettings {
  /// PEM text of the system's trust store followed by the extra CAs; empty when there are no
  /// extra CAs (the system's store alone applies then).
  std::string caBundle;
  /// The store every connection verifies against: `caBundle` parsed once. Null when libcurl
  /// cannot take it (libcurl then parses `caBundle` per connection), and without extra CAs,
  /// where each transfer takes the process's system store (SystemTrustStore.h).
  std::shared_ptr<const SharedTrustStore> trustStore;
  std::string proxy;
  /// What of `proxy` every failure detail hides (SecretMask.h).
  std::vector<std::string> proxySecrets;
  std::string noProxy;
  std::string userAgent;
  std::size_t maxResponseBytes = 0;
  /// CURLOPT_HTTP_VERSION of every transfer.
  long httpVersion = CURL_HTTP_VERSION_2TLS;
  /// Concurrent transfers to a host wait for its one connection to tell whether it multiplexes
  /// (CURLOPT_PIPEWAIT), rather than each opening its own; off where only HTTP/1.1 is spoken.
  bool waitForMultiplexing = true;
  /// Never null.
  std::shared_ptr<ConnectionTally> connections = std::make_shared<ConnectionTally>();
  /// Reply bytes held by all transfers of the transport together. Never null.
  std::shared_ptr<ReplyBudget> replyBudget = std::make_shared<ReplyBudget>(0);
  /// The connections all transfers of the transport may use together. Never null.
  std::shared_ptr<const ConnectionPool> transportShare = std::make_shared<const ConnectionPool>();
  /// The pool of requests that name none. Never null.
  std::shared_ptr<const ConnectionPool> defaultPool = std::make_shared<const ConnectionPool>();
};

}  // namespace orvane::site::transport
