#include "ClientOptionsFromPython.h"

#include <algorithm>
#include <stdexcept>

#include "orvane/site/TokenBucket.h"
#include "orvane/site/transport/ConnectionPool.h"
#include "orvane/site/transport/CurlTransport.h"
#include "orvane/site/transport/CurlTransportOptions.h"

namespace orvane::site::python {
namespace {

std::shared_ptr<HttpTransport> transportFor(const ClientArguments& arguments) {
  if (!arguments.caFile && !arguments.caPem && !arguments.proxy) return arguments.transport;
  if (arguments.transport) {
    throw std::invalid_argument("give either transport or ca_file/ca_pem/proxy, not both");
  }
  CurlTransportOptions options;
  options.caInfoFile = arguments.caFile.value_or("");
  options.caInfoPem = arguments.caPem.value_or("");
  options.proxy = arguments.proxy.value_or("");
  options.noProxy = arguments.noProxy.value_or("");
  return std::make_shared<CurlTransport>(options);
}

}  // namespace

ClientOptions makeClientOptions(const ClientArguments& arguments) {
  ClientOptions options;
  options.setApiKey(arguments.apiKey);
  if (arguments.host) options.setHost(*arguments.host);
  if (arguments.attemptTimeout) options.setAttemptTimeout(*arguments.attemptTimeout);
  if (arguments.deadline) options.setDeadline(*arguments.deadline);
  if (arguments.retry) options.setRetryPolicy(*arguments.retry);
  if (arguments.rateLimit) {
    options.setRateLimiter(
        std::make_shared<TokenBucket>(*arguments.rateLimit, arguments.rateBurst));
  }
  options.setMaxInFlight(arguments.maxInFlight);
  if (arguments.maxQueuedCalls) options.setMaxQueuedCalls(*arguments.maxQueuedCalls);
  if (arguments.maxConnectionsPerHost || arguments.maxConnections) {
    ConnectionLimits limits;
    limits.perHost = arguments.maxConnectionsPerHost.value_or(limits.perHost);
    limits.inAll = arguments.maxConnections.value_or(limits.inAll);
    options.setConnectionPool(std::make_shared<ConnectionPool>(limits));
  }
  // At least one: a handler on the library thread would hold every call up while it waits for
  // the GIL.
  options.setHandlerThreads(std::max<std::size_t>(1, arguments.handlerThreads));
  options.setTransport(transportFor(arguments));
  return options;
}

}  // namespace orvane::site::python
