#include "connection/ClientConnection.h"

#include <mutex>
#include <string>
#include <utility>

#include "cache/CachedOperationCall.h"
#include "call/OperationCall.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/internal/client/DetailSearchRequestClient.h"
#include "orvane/site/internal/client/GeocodeRequestClient.h"
#include "orvane/site/internal/client/NearbySearchRequestClient.h"
#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"
#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"
#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"
#include "orvane/site/internal/client/TextSearchRequestClient.h"
#include "orvane/site/internal/client/TimezoneRequestClient.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site {
namespace internal {
namespace {

std::string operationPath(const std::string& apiPath, bool underApiPath, const char* servicePath) {
  return underApiPath ? apiPath + servicePath : std::string(servicePath);
}

// Calls on the process-wide configuration: one client core per key, host and default transport,
// made anew when one of them changes (calls under way keep the core they started on).
class ProcessWideConnection final : public SiteConnection {
 public:
#define ORVANE_SITE_OPERATION(name, Kind, underApiPath, servicePath)                        \
  Call<Kind##Response> name(Kind##Request request, const CallOptions& callOptions,          \
                            std::function<void(Result<Kind##Response>)> handler) override { \
    std::string apiPath;                                                                    \
    std::shared_ptr<ClientCore> core = current(apiPath);                                    \
    return Call<Kind##Response>(startOperationCall<Kind##RequestClient>(                    \
        #name, core, operationPath(apiPath, underApiPath, servicePath), std::move(request), \
        callOptions, std::move(handler)));                                                  \
  }
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION

 private:
  std::shared_ptr<ClientCore> current(std::string& apiPath) {
    const std::shared_ptr<ContextDataCache> cache = ContextDataCache::shared();
    std::string key = cache->apiKey();
    std::string host = cache->baseUrl();
    apiPath = cache->apiPath();
    std::shared_ptr<HttpTransport> transport = defaultHttpTransport();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!core_ || key != key_ || host != host_ || transport != core_->transport()) {
      core_ = ClientCore::create(
          ClientOptions().setApiKey(key).setHost(host).setTransport(std::move(transport)));
      key_ = std::move(key);
      host_ = std::move(host);
    }
    return core_;
  }

  std::mutex mutex_;
  std::shared_ptr<ClientCore> core_;
  std::string key_;
  std::string host_;
};

}  // namespace

ClientConnection::ClientConnection(ClientOptions options)
    : core_(ClientCore::create(std::move(options))) {}

ClientConnection::~ClientConnection() { core_->cancelAll(true); }

#define ORVANE_SITE_OPERATION(name, Kind, underApiPath, servicePath)               \
  Call<Kind##Response> ClientConnection::name(                                     \
      Kind##Request request, const CallOptions& callOptions,                       \
      std::function<void(Result<Kind##Response>)> handler) {                       \
    static const std::string path =                                                \
        operationPath(ClientConfig::ApiPath, underApiPath, servicePath);           \
    return Call<Kind##Response>(startCachingCall<Kind##RequestClient>(             \
        #name, core_, path, std::move(request), callOptions, std::move(handler))); \
  }
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION

const std::shared_ptr<SiteConnection>& processWideConnection() {
  static const auto* connection =
      new std::shared_ptr<SiteConnection>(std::make_shared<ProcessWideConnection>());
  return *connection;
}

}  // namespace internal

std::shared_ptr<SiteConnection> makeSiteConnection(ClientOptions options) {
  return std::make_shared<internal::ClientConnection>(std::move(options));
}

}  // namespace orvane::site
