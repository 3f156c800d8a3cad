#include "orvane/site/testing/Standin.h"

#include <mutex>
#include <stdexcept>
#include <utility>

#include "orvane/site/ApiContext.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/standin/standin_server.h"
#include "orvane/site/transport/CurlTransport.h"

namespace orvane::site::testkit {

class Standin::Impl {
 public:
  explicit Impl(Options options)
      : server_(serverOptions(options)), firstKey_(std::move(options.acceptedKeys.front())) {
    server_.start();
  }

  const std::string& firstKey() const { return firstKey_; }

  standin::StandinServer& server() { return server_; }

  std::shared_ptr<HttpTransport> transport(const CurlTransportOptions& options) {
    // Made on first use: parsing the trust store is not free, and many tests never need it.
    std::call_once(transportOnce_, [&] { transport_ = std::make_shared<CurlTransport>(options); });
    return transport_;
  }

 private:
  static standin::StandinOptions serverOptions(const Options& options) {
    if (options.acceptedKeys.empty()) {
      throw std::invalid_argument("Standin: at least one accepted key is needed");
    }
    if (options.connections == 0) {
      throw std::invalid_argument("Standin: at least one connection must be served");
    }
    standin::StandinOptions server;
    server.apiKeys = options.acceptedKeys;
    server.port = options.port;
    server.workerThreads = options.connections;
    return server;
  }

  standin::StandinServer server_;
  std::string firstKey_;
  std::once_flag transportOnce_;
  std::shared_ptr<HttpTransport> transport_;
};

Standin::Standin() : Standin(std::vector<std::string>{demoApiKey()}) {}

Standin::Standin(std::vector<std::string> acceptedKeys)
    : Standin(Options{std::move(acceptedKeys)}) {}

Standin::Standin(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Standin::~Standin() = default;

std::string Standin::demoApiKey() { return standin::StandinOptions::kDemoKey; }

std::string Standin::host() const { return impl_->server().host(); }

int Standin::port() const { return impl_->server().port(); }

std::string Standin::caCertificatePem() const { return impl_->server().certificate().caPem(); }

std::string Standin::apiKey() const { return impl_->firstKey(); }

std::string Standin::apiKeyWithFaults(const std::vector<StandinFault>& faults,
                                      const std::string& tag) const {
  std::vector<std::string> texts;
  texts.reserve(faults.size());
  for (const StandinFault& fault : faults) texts.push_back(fault.text());
  return standin::StandinServer::faultKey(apiKey(), texts, tag);
}

CurlTransportOptions Standin::transportOptions() const {
  CurlTransportOptions options;
  options.caInfoPem = caCertificatePem();
  return options;
}

std::shared_ptr<HttpTransport> Standin::transport() const {
  return impl_->transport(transportOptions());
}

ClientOptions Standin::clientOptions() const {
  ClientOptions options;
  options.setApiKey(apiKey()).setHost(host()).setTransport(transport());
  return options;
}

void Standin::configureProcessDefaults() const {
  setDefaultHttpTransport(transport());
  SiteClient::provideApiContext(ApiContext().setApiKey(apiKey()).setBaseUrl(host()).build());
}

std::int64_t Standin::requestCount() const { return impl_->server().counters().requests; }

std::int64_t Standin::requestsForKey(const std::string& key) const {
  return impl_->server().requestsForKey(key);
}

void Standin::resetCounters() { impl_->server().resetCounters(); }

void Standin::stop() { impl_->server().stop(); }

}  // namespace orvane::site::testkit
