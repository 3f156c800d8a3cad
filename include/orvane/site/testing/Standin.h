#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/Export.h"
#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/testing/StandinFault.h"
#include "orvane/site/transport/CurlTransportOptions.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

/// The local stand-in of the place-search service, started inside the test's own process: a
/// real HTTPS server on 127.0.0.1, on a free port, with a certificate authority made for it, so
/// that an application's tests run its real calls without network access or a real key.
///
/// \code
/// orvane::site::testkit::Standin standin;
/// orvane::site::SiteClient client(standin.clientOptions());   // an option client
/// auto result = client.timezone(request).get();
/// // or, for the process-wide configuration:
/// standin.configureProcessDefaults();   // the process-wide host, key and trusted CA
/// orvane::site::SiteClient::shared().timezone(request, nullptr, handler);
/// \endcode
///
/// The stand-in answers the eight operations from a data set of real cities (tzdata and
/// iso-codes), checks keys (a refused key is an apiError with ServiceReturnCode::keyRejected)
/// and injects the faults a key asks for (apiKeyWithFaults()). TLS verification stays on: the
/// client trusts caCertificatePem().
///
/// Threads: the server runs on threads of its own until stop() or destruction. All members
/// are thread-safe.
class ORVANE_SITE_EXPORT Standin {
 public:
  /// How a stand-in is started.
  struct Options {
    /// Keys it accepts (apiKey() returns the first); never empty.
    std::vector<std::string> acceptedKeys{demoApiKey()};
    /// Its port on 127.0.0.1; 0 picks a free one (port() says which). A port another server
    /// listens on is refused: the constructor throws, never shares it.
    int port = 0;
    /// Connections served at once, each kept alive for 5 s: twice what one client opens to a
    /// host by default.
    std::size_t connections = 64;
  };

  /// Starts the stand-in, accepting demoApiKey(). Throws std::runtime_error when it cannot
  /// start (no free port, TLS set-up failed).
  Standin();
  /// Starts the stand-in as `options` say. Throws std::invalid_argument when no key is given or
  /// `connections` is 0, std::runtime_error when it cannot start (the port is in use, TLS
  /// set-up failed).
  explicit Standin(Options options);
  /// Starts the stand-in accepting `acceptedKeys` (apiKey() returns the first). Throws
  /// std::invalid_argument when the list is empty, std::runtime_error as above.
  explicit Standin(std::vector<std::string> acceptedKeys);
  /// Stops the server.
  ~Standin();
  Standin(const Standin&) = delete;
  Standin& operator=(const Standin&) = delete;

  /// The key the stand-in accepts by default, "standin-demo-key".
  static std::string demoApiKey();

  /// "127.0.0.1:<port>": the host for ApiContext::setBaseUrl() or a client's host option.
  std::string host() const;
  /// The port it listens on, on 127.0.0.1.
  int port() const;
  /// PEM text of the certificate authority that signed the server's certificate; trust it in
  /// addition to the system's store (CurlTransportOptions::caInfoPem).
  std::string caCertificatePem() const;
  /// An accepted key (the first one given).
  std::string apiKey() const;
  /// An accepted key that also asks for `faults`, applied in order to every request made with
  /// it. Requests with distinct `tag`s count their faults (StandinFault::serverErrors) apart.
  std::string apiKeyWithFaults(const std::vector<StandinFault>& faults,
                               const std::string& tag = std::string()) const;

  /// Ready options for an option client: host(), apiKey() and transport(); the other options
  /// keep their defaults. Change any of them on the returned copy.
  ClientOptions clientOptions() const;
  /// Transport options trusting the stand-in's authority (and the system's store).
  CurlTransportOptions transportOptions() const;
  /// A CurlTransport made from transportOptions(), created once and shared.
  std::shared_ptr<HttpTransport> transport() const;
  /// Points the process-wide configuration at the stand-in: installs transport() with
  /// setDefaultHttpTransport() and provides a context with host() and apiKey() to
  /// SiteClient::provideApiContext(). Other values of the context keep their settings.
  void configureProcessDefaults() const;

  /// Requests received so far, in all.
  std::int64_t requestCount() const;
  /// Requests received with `key` (the whole key, faults and tag included).
  std::int64_t requestsForKey(const std::string& key) const;
  /// Zeroes the counters and restarts every StandinFault::serverErrors countdown.
  void resetCounters();
  /// Stops the server; later calls fail to connect. Idempotent.
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::site::testkit
