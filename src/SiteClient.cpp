#include "orvane/site/SiteClient.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "connection/ClientConnection.h"
#include "facade/client/FacadeLifetime.h"
#include "facade/client/HandlerWrapper.h"
#include "logging/Logger.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/client/DetailSearchRequestClient.h"
#include "orvane/site/internal/client/GeocodeRequestClient.h"
#include "orvane/site/internal/client/NearbySearchRequestClient.h"
#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"
#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"
#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"
#include "orvane/site/internal/client/TextSearchRequestClient.h"
#include "orvane/site/internal/client/TimezoneRequestClient.h"
#include "orvane/site/transport/HttpTransport.h"
#include "text/Utf8.h"
#include "typeahead/TypeAheadSeams.h"

namespace orvane::site {
namespace internal {

void logHandlerException(const char* operation, const char* what) {
  ORVANE_SITE_LOG(
      operation, std::string("completion handler threw an exception, which was discarded: ") + what,
      kError);
}

Error unexpectedResponseError() {
  return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                            "the reply was not the operation's response");
}

}  // namespace internal

namespace {

// What the exception being handled says about itself.
std::string currentExceptionText() {
  try {
    throw;
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

// One request client per operation, shared by every SiteClient, made on first use and never
// destroyed (calls still in flight at exit may use it).
template <class Client>
const std::shared_ptr<Client>& processWideClient() {
  static const auto* instance = new std::shared_ptr<Client>(std::make_shared<Client>());
  return *instance;
}

// The procedure every operation follows: wrap the handler (holding the facade weakly), then
// store the call in the operation's client and start it. Nothing escapes to the caller: should
// starting fail, the handler learns it later on the library thread, like any other failure.
template <class Client>
void runOperation(
    const char* operation, const std::shared_ptr<internal::FacadeLifetime>& lifetime,
    typename Client::RequestType request, std::shared_ptr<ApiContext> apiContext,
    std::function<void(std::shared_ptr<typename Client::ResponseType>, std::optional<Error>)>
        handler) {
  BaseRequestClient::Completion wrapper;
  try {
    wrapper = internal::wrapHandler<typename Client::ResponseType>(lifetime, std::move(handler),
                                                                   operation);
    processWideClient<Client>()->callWith(std::move(request), std::move(apiContext), wrapper);
  } catch (...) {
    const std::string detail = "the call could not be started: " + currentExceptionText();
    ORVANE_SITE_LOG(operation, detail, internal::kError);
    if (!wrapper) return;
    try {
      Error error = makeTransportError(TransportErrorCode::otherFailure, std::nullopt, detail);
      defaultHttpTransport()->post([wrapper, error] { wrapper(nullptr, error); });
    } catch (...) {
      ORVANE_SITE_LOG(operation, std::string("the failure could not be reported"),
                      internal::kError);
    }
  }
}

}  // namespace

SiteClient& SiteClient::shared() {
  static auto* instance = new SiteClient();
  return *instance;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the by-value parameter is the interface
void SiteClient::provideApiContext(std::shared_ptr<ApiContext> apiContext) {
  const std::string key = apiContext ? apiContext->apiKey() : std::string();
  if (internal::text::countScalars(key) < 2) {
    ORVANE_SITE_LOG("provideApiContext(with:)",
                    std::string("To activate Orvane Site Service, api key must be provided. "),
                    internal::kError);
  }
  ContextDataCache::set(apiContext);
}

SiteClient::SiteClient()
    : lifetime_(std::make_shared<internal::FacadeLifetime>()),
      connection_(internal::processWideConnection()) {}

SiteClient::SiteClient(ClientOptions options)
    : lifetime_(std::make_shared<internal::FacadeLifetime>()),
      connection_(makeSiteConnection(std::move(options))) {}

SiteClient::SiteClient(std::shared_ptr<SiteConnection> connection)
    : lifetime_(std::make_shared<internal::FacadeLifetime>()), connection_(std::move(connection)) {
  if (!connection_) throw std::invalid_argument("a SiteClient needs a connection, not null");
}

SiteClient::~SiteClient() {
  // A connection of this client's own ends its calls now, each handler once with "cancelled";
  // facade calls keep their documented rule (handlers suppressed).
  connection_.reset();
  lifetime_->end();
}

// The facade's forms, and the Call forms on the client's connection.
#define ORVANE_SITE_OPERATION(name, Kind, underApiPath, servicePath)                             \
  void SiteClient::name(Kind##Request request, std::shared_ptr<ApiContext> apiContext,           \
                        Kind##Handler completionHandler) {                                       \
    runOperation<Kind##RequestClient>(#name "(with:apiContext:completionHandler:)", lifetime_,   \
                                      std::move(request), std::move(apiContext),                 \
                                      std::move(completionHandler));                             \
  }                                                                                              \
  Call<Kind##Response> SiteClient::name(Kind##Request request) {                                 \
    return connection_->name(std::move(request), CallOptions(), nullptr);                        \
  }                                                                                              \
  Call<Kind##Response> SiteClient::name(Kind##Request request, const CallOptions& callOptions) { \
    return connection_->name(std::move(request), callOptions, nullptr);                          \
  }                                                                                              \
  Call<Kind##Response> SiteClient::name(Kind##Request request, const CallOptions& callOptions,   \
                                        std::function<void(Result<Kind##Response>)> handler) {   \
    return connection_->name(std::move(request), callOptions, std::move(handler));               \
  }
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION

namespace {

// One page after another of `request`, through `connection`, which the range holds.
template <typename Response, typename Request>
Pages<Response> pagesOf(std::shared_ptr<SiteConnection> connection, Request request,
                        std::size_t maxPages, const CallOptions& callOptions,
                        Call<Response> (SiteConnection::*operation)(
                            Request, const CallOptions&, std::function<void(Result<Response>)>)) {
  const std::int64_t first = request.pageIndex.value_or(1);
  const std::optional<std::int64_t> size = request.pageSize;
  return Pages<Response>(
      [connection = std::move(connection), request = std::move(request), callOptions,
       operation](std::int64_t index) {
        Request page = request;
        page.pageIndex = index;
        return ((*connection).*operation)(std::move(page), callOptions, nullptr);
      },
      first, size, maxPages);
}

}  // namespace

Pages<TextSearchResponse> SiteClient::textSearchPages(TextSearchRequest request,
                                                      std::size_t maxPages,
                                                      const CallOptions& callOptions) {
  return pagesOf(connection_, std::move(request), maxPages, callOptions,
                 &SiteConnection::textSearch);
}

Pages<NearbySearchResponse> SiteClient::nearbySearchPages(NearbySearchRequest request,
                                                          std::size_t maxPages,
                                                          const CallOptions& callOptions) {
  return pagesOf(connection_, std::move(request), maxPages, callOptions,
                 &SiteConnection::nearbySearch);
}

internal::TypeAheadSeams SiteClient::typeAheadSeams() const {
  internal::TypeAheadSeams seams{connection_, defaultHttpTransport(), Executor()};
  // The library's own connection knows the client's transport and executor; a connection of
  // the application's own (a test's mock) has neither, so the defaults stand.
  if (const auto* own = dynamic_cast<const internal::ClientConnection*>(connection_.get())) {
    seams.timers = own->core()->transport();
    seams.executor = own->core()->handlerExecutor();
  }
  return seams;
}

}  // namespace orvane::site
