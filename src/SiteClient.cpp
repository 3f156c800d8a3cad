#include "orvane/site/SiteClient.h"

#include <exception>
#include <string>
#include <utility>

#include "call/ClientCore.h"
#include "call/OperationCall.h"
#include "internal/Logger.h"
#include "internal/client/FacadeLifetime.h"
#include "internal/client/HandlerWrapper.h"
#include "internal/text/Utf8.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientConfig.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/HttpTransport.h"
#include "orvane/site/internal/client/DetailSearchRequestClient.h"
#include "orvane/site/internal/client/GeocodeRequestClient.h"
#include "orvane/site/internal/client/NearbySearchRequestClient.h"
#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"
#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"
#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"
#include "orvane/site/internal/client/TextSearchRequestClient.h"
#include "orvane/site/internal/client/TimezoneRequestClient.h"

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

// The client whose Call-returning operations a SiteClient without options uses: every call
// ends at once with an error that says why.
const std::shared_ptr<internal::ClientCore>& withoutOptionsCore() {
  static const auto* core = new std::shared_ptr<internal::ClientCore>(
      internal::ClientCore::create(ClientOptions().setTransport(defaultHttpTransport())));
  return *core;
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

SiteClient::SiteClient() : lifetime_(std::make_shared<internal::FacadeLifetime>()) {}

SiteClient::SiteClient(ClientOptions options)
    : lifetime_(std::make_shared<internal::FacadeLifetime>()),
      core_(internal::ClientCore::create(std::move(options))) {}

SiteClient::~SiteClient() {
  // An option client's calls end now, each handler once with "cancelled"; facade calls keep
  // their documented rule (handlers suppressed).
  if (core_) core_->cancelAll(true);
  lifetime_->end();
}

void SiteClient::textSearch(TextSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                            TextSearchHandler completionHandler) {
  runOperation<TextSearchRequestClient>("textSearch(with:apiContext:completionHandler:)", lifetime_,
                                        std::move(request), std::move(apiContext),
                                        std::move(completionHandler));
}

void SiteClient::nearbySearch(NearbySearchRequest request, std::shared_ptr<ApiContext> apiContext,
                              NearbySearchHandler completionHandler) {
  runOperation<NearbySearchRequestClient>("nearbySearch(with:apiContext:completionHandler:)",
                                          lifetime_, std::move(request), std::move(apiContext),
                                          std::move(completionHandler));
}

void SiteClient::detailSearch(DetailSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                              DetailSearchHandler completionHandler) {
  runOperation<DetailSearchRequestClient>("detailSearch(with:apiContext:completionHandler:)",
                                          lifetime_, std::move(request), std::move(apiContext),
                                          std::move(completionHandler));
}

void SiteClient::querySuggestion(QuerySuggestionRequest request,
                                 std::shared_ptr<ApiContext> apiContext,
                                 QuerySuggestionHandler completionHandler) {
  runOperation<QuerySuggestionRequestClient>("querySuggestion(with:apiContext:completionHandler:)",
                                             lifetime_, std::move(request), std::move(apiContext),
                                             std::move(completionHandler));
}

void SiteClient::queryAutocomplete(QueryAutocompleteRequest request,
                                   std::shared_ptr<ApiContext> apiContext,
                                   QueryAutocompleteHandler completionHandler) {
  runOperation<QueryAutocompleteRequestClient>(
      "queryAutocomplete(with:apiContext:completionHandler:)", lifetime_, std::move(request),
      std::move(apiContext), std::move(completionHandler));
}

void SiteClient::geocode(GeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                         GeocodeHandler completionHandler) {
  runOperation<GeocodeRequestClient>("geocode(with:apiContext:completionHandler:)", lifetime_,
                                     std::move(request), std::move(apiContext),
                                     std::move(completionHandler));
}

void SiteClient::reverseGeocode(ReverseGeocodeRequest request,
                                std::shared_ptr<ApiContext> apiContext,
                                ReverseGeocodeHandler completionHandler) {
  runOperation<ReverseGeocodeRequestClient>("reverseGeocode(with:apiContext:completionHandler:)",
                                            lifetime_, std::move(request), std::move(apiContext),
                                            std::move(completionHandler));
}

void SiteClient::timezone(TimezoneRequest request, std::shared_ptr<ApiContext> apiContext,
                          TimezoneHandler completionHandler) {
  runOperation<TimezoneRequestClient>("timezone(with:apiContext:completionHandler:)", lifetime_,
                                      std::move(request), std::move(apiContext),
                                      std::move(completionHandler));
}

Call<TextSearchResponse> SiteClient::textSearch(TextSearchRequest request) {
  return textSearch(std::move(request), CallOptions(), nullptr);
}

Call<TextSearchResponse> SiteClient::textSearch(TextSearchRequest request,
                                                const CallOptions& callOptions) {
  return textSearch(std::move(request), callOptions, nullptr);
}

Call<TextSearchResponse> SiteClient::textSearch(
    TextSearchRequest request, const CallOptions& callOptions,
    std::function<void(Result<TextSearchResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "searchByText";
  return Call<TextSearchResponse>(internal::startOperationCall<TextSearchRequestClient>(
      "textSearch", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
      std::move(request), callOptions, std::move(handler)));
}

Call<NearbySearchResponse> SiteClient::nearbySearch(NearbySearchRequest request) {
  return nearbySearch(std::move(request), CallOptions(), nullptr);
}

Call<NearbySearchResponse> SiteClient::nearbySearch(NearbySearchRequest request,
                                                    const CallOptions& callOptions) {
  return nearbySearch(std::move(request), callOptions, nullptr);
}

Call<NearbySearchResponse> SiteClient::nearbySearch(
    NearbySearchRequest request, const CallOptions& callOptions,
    std::function<void(Result<NearbySearchResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "nearbySearch";
  return Call<NearbySearchResponse>(internal::startOperationCall<NearbySearchRequestClient>(
      "nearbySearch", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
      std::move(request), callOptions, std::move(handler)));
}

Call<DetailSearchResponse> SiteClient::detailSearch(DetailSearchRequest request) {
  return detailSearch(std::move(request), CallOptions(), nullptr);
}

Call<DetailSearchResponse> SiteClient::detailSearch(DetailSearchRequest request,
                                                    const CallOptions& callOptions) {
  return detailSearch(std::move(request), callOptions, nullptr);
}

Call<DetailSearchResponse> SiteClient::detailSearch(
    DetailSearchRequest request, const CallOptions& callOptions,
    std::function<void(Result<DetailSearchResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "searchById";
  return Call<DetailSearchResponse>(internal::startOperationCall<DetailSearchRequestClient>(
      "detailSearch", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
      std::move(request), callOptions, std::move(handler)));
}

Call<QuerySuggestionResponse> SiteClient::querySuggestion(QuerySuggestionRequest request) {
  return querySuggestion(std::move(request), CallOptions(), nullptr);
}

Call<QuerySuggestionResponse> SiteClient::querySuggestion(QuerySuggestionRequest request,
                                                          const CallOptions& callOptions) {
  return querySuggestion(std::move(request), callOptions, nullptr);
}

Call<QuerySuggestionResponse> SiteClient::querySuggestion(
    QuerySuggestionRequest request, const CallOptions& callOptions,
    std::function<void(Result<QuerySuggestionResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "querySuggestion";
  return Call<QuerySuggestionResponse>(internal::startOperationCall<QuerySuggestionRequestClient>(
      "querySuggestion", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
      std::move(request), callOptions, std::move(handler)));
}

Call<QueryAutocompleteResponse> SiteClient::queryAutocomplete(QueryAutocompleteRequest request) {
  return queryAutocomplete(std::move(request), CallOptions(), nullptr);
}

Call<QueryAutocompleteResponse> SiteClient::queryAutocomplete(QueryAutocompleteRequest request,
                                                              const CallOptions& callOptions) {
  return queryAutocomplete(std::move(request), callOptions, nullptr);
}

Call<QueryAutocompleteResponse> SiteClient::queryAutocomplete(
    QueryAutocompleteRequest request, const CallOptions& callOptions,
    std::function<void(Result<QueryAutocompleteResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "queryAutoComplete";
  return Call<QueryAutocompleteResponse>(
      internal::startOperationCall<QueryAutocompleteRequestClient>(
          "queryAutocomplete", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
          std::move(request), callOptions, std::move(handler)));
}

Call<GeocodeResponse> SiteClient::geocode(GeocodeRequest request) {
  return geocode(std::move(request), CallOptions(), nullptr);
}

Call<GeocodeResponse> SiteClient::geocode(GeocodeRequest request, const CallOptions& callOptions) {
  return geocode(std::move(request), callOptions, nullptr);
}

Call<GeocodeResponse> SiteClient::geocode(GeocodeRequest request, const CallOptions& callOptions,
                                          std::function<void(Result<GeocodeResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "geocode";
  return Call<GeocodeResponse>(internal::startOperationCall<GeocodeRequestClient>(
      "geocode", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path, std::move(request),
      callOptions, std::move(handler)));
}

Call<ReverseGeocodeResponse> SiteClient::reverseGeocode(ReverseGeocodeRequest request) {
  return reverseGeocode(std::move(request), CallOptions(), nullptr);
}

Call<ReverseGeocodeResponse> SiteClient::reverseGeocode(ReverseGeocodeRequest request,
                                                        const CallOptions& callOptions) {
  return reverseGeocode(std::move(request), callOptions, nullptr);
}

Call<ReverseGeocodeResponse> SiteClient::reverseGeocode(
    ReverseGeocodeRequest request, const CallOptions& callOptions,
    std::function<void(Result<ReverseGeocodeResponse>)> handler) {
  static const std::string path = ClientConfig::ApiPath + "reverseGeocode";
  return Call<ReverseGeocodeResponse>(internal::startOperationCall<ReverseGeocodeRequestClient>(
      "reverseGeocode", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path,
      std::move(request), callOptions, std::move(handler)));
}

Call<TimezoneResponse> SiteClient::timezone(TimezoneRequest request) {
  return timezone(std::move(request), CallOptions(), nullptr);
}

Call<TimezoneResponse> SiteClient::timezone(TimezoneRequest request,
                                            const CallOptions& callOptions) {
  return timezone(std::move(request), callOptions, nullptr);
}

Call<TimezoneResponse> SiteClient::timezone(TimezoneRequest request, const CallOptions& callOptions,
                                            std::function<void(Result<TimezoneResponse>)> handler) {
  static const std::string path = std::string("mapApi/v1/timezoneService/getTimezone");
  return Call<TimezoneResponse>(internal::startOperationCall<TimezoneRequestClient>(
      "timezone", core_ ? core_ : withoutOptionsCore(), core_ != nullptr, path, std::move(request),
      callOptions, std::move(handler)));
}

}  // namespace orvane::site
