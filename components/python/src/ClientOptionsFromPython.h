#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/RetryPolicy.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::python {

/// The keyword arguments of orvane_site.Client, as given (None: the library's default).
struct ClientArguments {
  std::string apiKey;
  std::optional<std::string> host;
  std::optional<std::chrono::nanoseconds> attemptTimeout;
  std::optional<std::chrono::nanoseconds> deadline;
  std::optional<RetryPolicy> retry;
  std::optional<double> rateLimit;
  std::size_t rateBurst = 1;
  std::size_t maxInFlight = 0;
  std::optional<std::size_t> maxQueuedCalls;
  std::optional<long> maxConnectionsPerHost;
  std::optional<long> maxConnections;
  std::optional<std::string> caFile;
  std::optional<std::string> caPem;
  std::optional<std::string> proxy;
  std::optional<std::string> noProxy;
  std::size_t handlerThreads = 1;  // at least one is used
  std::shared_ptr<HttpTransport> transport;
};

/// The options of the client those arguments describe. A CA bundle or a proxy gives the client
/// a CurlTransport of its own; connection limits give it a ConnectionPool of its own.
ClientOptions makeClientOptions(const ClientArguments& arguments);

}  // namespace orvane::site::python
