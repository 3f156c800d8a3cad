#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "orvane/site/Call.h"
#include "orvane/site/CallOptions.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/Export.h"
#include "orvane/site/Pages.h"
#include "orvane/site/Result.h"
#include "orvane/site/SiteClientProtocol.h"
#include "orvane/site/SiteConnection.h"

namespace orvane::site {

class ApiContext;

class QuerySuggestionTypeAhead;
class QueryTypeAhead;

namespace internal {
class FacadeLifetime;
struct TypeAheadSeams;
}  // namespace internal

/// The library's entry object: hands the library its configuration once
/// (`provideApiContext`) and runs the eight operations of the place-search service.
///
/// \code
/// auto ctx = orvane::site::ApiContext().setApiKey("KEY").build();
/// orvane::site::SiteClient::provideApiContext(ctx);
/// orvane::site::SiteClient::shared().timezone(
///     orvane::site::TimezoneRequest(orvane::site::Coordinate(48.85, 2.35), 1700000000,
///                                   std::nullopt),
///     nullptr, [](auto response, auto error) { /* on the library thread */ });
/// \endcode
///
/// Each operation returns at once and never throws. Its handler is called exactly once, later,
/// on the library thread "orvane-site-services" (never inside the operation call), with the
/// decoded response or an Error: the service's error replies (domain "OrvaneSite.ErrorType"),
/// replies that do not decode ("OrvaneSite.DecodingError") and failures of the exchange itself
/// ("OrvaneSite.TransportError"). A response is delivered as decoded, whatever its returnCode.
/// With a null `apiContext` the call takes its host and key from ContextDataCache::shared();
/// with a context, its host, retry values and (when not empty) key. An empty handler is
/// allowed: the result is dropped. An exception thrown by a handler is caught and logged on the
/// library thread and goes no further. Handlers may start new calls. As each operation's
/// request client keeps the latest call's values, the handler of an operation's latest call
/// (and what it captures) stays alive until the next call of that operation.
///
/// At process exit no handler starts any more, and calls under way get none. A handler already
/// running when exit begins may outlast exit's wait of one second and then run while static
/// objects are destroyed: such a handler must not rely on static or global objects.
///
/// All members are thread-safe. Overlapping calls, from any threads, each get their own result.
///
/// Lifetime: `shared()` lives until the process ends. A SiteClient of your own may be destroyed
/// while its calls are under way: their handlers are then never called. Once the destructor has
/// returned, none of its handlers is running or will run; to guarantee that, the destructor
/// waits for handlers of this client that are running on other threads (so do not destroy it
/// while holding a lock that such a handler takes). Destroying it from inside one of its own
/// handlers is allowed.
class ORVANE_SITE_EXPORT SiteClient : public SiteClientProtocol {
 public:
  /// The instance the library offers; created on first use, never destroyed.
  static SiteClient& shared();

  /// Stores the context's values as the process-wide configuration (ContextDataCache::set).
  /// A key of fewer than two characters (Unicode scalar values), or a null context, is logged
  /// as an "ERROR" line; the values are still stored (a null context stores nothing).
  /// Thread-safe.
  static void provideApiContext(std::shared_ptr<ApiContext> apiContext);

  /// An independent facade; it shares the process-wide request clients and configuration. Its
  /// Call-returning forms take their key and host from the process-wide configuration too
  /// (ContextDataCache::shared(), read at each call), go out through defaultHttpTransport()
  /// and use ClientOptions' defaults for the rest.
  SiteClient();
  /// A client that uses only `options` (copied). Starts nothing; values are checked per call.
  explicit SiteClient(ClientOptions options);
  /// A client whose Call-returning forms run on `connection` (for example a test's
  /// testkit::MockSiteConnection, or one from makeSiteConnection shared by several clients);
  /// the three-argument forms stay those of the process-wide facade. Throws
  /// std::invalid_argument for a null connection.
  explicit SiteClient(std::shared_ptr<SiteConnection> connection);
  ~SiteClient() override;
  SiteClient(const SiteClient&) = delete;
  SiteClient& operator=(const SiteClient&) = delete;

  /// Finds places matching a free-text query (POST .../searchByText).
  void textSearch(TextSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                  TextSearchHandler completionHandler) override;

  /// Finds places around a position (POST .../nearbySearch).
  void nearbySearch(NearbySearchRequest request, std::shared_ptr<ApiContext> apiContext,
                    NearbySearchHandler completionHandler) override;

  /// Fetches one place by its site identifier (POST .../searchById).
  void detailSearch(DetailSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                    DetailSearchHandler completionHandler) override;

  /// Returns the places the service suggests for a query (POST .../querySuggestion).
  void querySuggestion(QuerySuggestionRequest request, std::shared_ptr<ApiContext> apiContext,
                       QuerySuggestionHandler completionHandler) override;

  /// Completes a partly typed query (POST .../queryAutoComplete).
  void queryAutocomplete(QueryAutocompleteRequest request, std::shared_ptr<ApiContext> apiContext,
                         QueryAutocompleteHandler completionHandler) override;

  /// Turns an address text into places (POST .../geocode).
  void geocode(GeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
               GeocodeHandler completionHandler) override;

  /// Turns a position into places (POST .../reverseGeocode).
  void reverseGeocode(ReverseGeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                      ReverseGeocodeHandler completionHandler) override;

  /// Looks up the time zone of a position at a moment
  /// (POST mapApi/v1/timezoneService/getTimezone).
  void timezone(TimezoneRequest request, std::shared_ptr<ApiContext> apiContext,
                TimezoneHandler completionHandler) override;

  // Option-client forms: each returns a handle to the call it starts (see Call). The form with
  // a handler calls it exactly once with the result.
  /// textSearch on an option client; see the three-argument form for what it does.
  Call<TextSearchResponse> textSearch(TextSearchRequest request);
  /// textSearch with per-call options.
  Call<TextSearchResponse> textSearch(TextSearchRequest request, const CallOptions& callOptions);
  /// textSearch with per-call options and a handler.
  Call<TextSearchResponse> textSearch(TextSearchRequest request, const CallOptions& callOptions,
                                      std::function<void(Result<TextSearchResponse>)> handler);
  /// nearbySearch on an option client; see the three-argument form for what it does.
  Call<NearbySearchResponse> nearbySearch(NearbySearchRequest request);
  /// nearbySearch with per-call options.
  Call<NearbySearchResponse> nearbySearch(NearbySearchRequest request,
                                          const CallOptions& callOptions);
  /// nearbySearch with per-call options and a handler.
  Call<NearbySearchResponse> nearbySearch(
      NearbySearchRequest request, const CallOptions& callOptions,
      std::function<void(Result<NearbySearchResponse>)> handler);
  /// Every page of a text search, one call per page as the iteration reaches it, at most
  /// `maxPages` of them and never past the reply's totalCount (see Pages).
  Pages<TextSearchResponse> textSearchPages(TextSearchRequest request, std::size_t maxPages,
                                            const CallOptions& callOptions = CallOptions());
  /// Every page of a nearby search, as textSearchPages does.
  Pages<NearbySearchResponse> nearbySearchPages(NearbySearchRequest request, std::size_t maxPages,
                                                const CallOptions& callOptions = CallOptions());
  /// detailSearch on an option client; see the three-argument form for what it does.
  Call<DetailSearchResponse> detailSearch(DetailSearchRequest request);
  /// detailSearch with per-call options.
  Call<DetailSearchResponse> detailSearch(DetailSearchRequest request,
                                          const CallOptions& callOptions);
  /// detailSearch with per-call options and a handler.
  Call<DetailSearchResponse> detailSearch(
      DetailSearchRequest request, const CallOptions& callOptions,
      std::function<void(Result<DetailSearchResponse>)> handler);
  /// querySuggestion on an option client; see the three-argument form for what it does.
  Call<QuerySuggestionResponse> querySuggestion(QuerySuggestionRequest request);
  /// querySuggestion with per-call options.
  Call<QuerySuggestionResponse> querySuggestion(QuerySuggestionRequest request,
                                                const CallOptions& callOptions);
  /// querySuggestion with per-call options and a handler.
  Call<QuerySuggestionResponse> querySuggestion(
      QuerySuggestionRequest request, const CallOptions& callOptions,
      std::function<void(Result<QuerySuggestionResponse>)> handler);
  /// queryAutocomplete on an option client; see the three-argument form for what it does.
  Call<QueryAutocompleteResponse> queryAutocomplete(QueryAutocompleteRequest request);
  /// queryAutocomplete with per-call options.
  Call<QueryAutocompleteResponse> queryAutocomplete(QueryAutocompleteRequest request,
                                                    const CallOptions& callOptions);
  /// queryAutocomplete with per-call options and a handler.
  Call<QueryAutocompleteResponse> queryAutocomplete(
      QueryAutocompleteRequest request, const CallOptions& callOptions,
      std::function<void(Result<QueryAutocompleteResponse>)> handler);
  /// geocode on an option client; see the three-argument form for what it does.
  Call<GeocodeResponse> geocode(GeocodeRequest request);
  /// geocode with per-call options.
  Call<GeocodeResponse> geocode(GeocodeRequest request, const CallOptions& callOptions);
  /// geocode with per-call options and a handler.
  Call<GeocodeResponse> geocode(GeocodeRequest request, const CallOptions& callOptions,
                                std::function<void(Result<GeocodeResponse>)> handler);
  /// reverseGeocode on an option client; see the three-argument form for what it does.
  Call<ReverseGeocodeResponse> reverseGeocode(ReverseGeocodeRequest request);
  /// reverseGeocode with per-call options.
  Call<ReverseGeocodeResponse> reverseGeocode(ReverseGeocodeRequest request,
                                              const CallOptions& callOptions);
  /// reverseGeocode with per-call options and a handler.
  Call<ReverseGeocodeResponse> reverseGeocode(
      ReverseGeocodeRequest request, const CallOptions& callOptions,
      std::function<void(Result<ReverseGeocodeResponse>)> handler);
  /// timezone on an option client; see the three-argument form for what it does.
  Call<TimezoneResponse> timezone(TimezoneRequest request);
  /// timezone with per-call options.
  Call<TimezoneResponse> timezone(TimezoneRequest request, const CallOptions& callOptions);
  /// timezone with per-call options and a handler.
  Call<TimezoneResponse> timezone(TimezoneRequest request, const CallOptions& callOptions,
                                  std::function<void(Result<TimezoneResponse>)> handler);

 private:
  friend class QueryTypeAhead;
  friend class QuerySuggestionTypeAhead;
  // What a type-ahead helper of this client runs on: its connection, transport and executor.
  internal::TypeAheadSeams typeAheadSeams() const;

  std::shared_ptr<internal::FacadeLifetime> lifetime_;
  std::shared_ptr<SiteConnection> connection_;
};

}  // namespace orvane::site
