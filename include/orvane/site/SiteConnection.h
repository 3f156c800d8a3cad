#pragma once

#include <functional>
#include <memory>

#include "orvane/site/Call.h"
#include "orvane/site/CallOptions.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/Export.h"
#include "orvane/site/Result.h"
#include "orvane/site/requests/DetailSearchRequest.h"
#include "orvane/site/requests/GeocodeRequest.h"
#include "orvane/site/requests/NearbySearchRequest.h"
#include "orvane/site/requests/QueryAutocompleteRequest.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/requests/ReverseGeocodeRequest.h"
#include "orvane/site/requests/TextSearchRequest.h"
#include "orvane/site/requests/TimezoneRequest.h"
#include "orvane/site/responses/DetailSearchResponse.h"
#include "orvane/site/responses/GeocodeResponse.h"
#include "orvane/site/responses/NearbySearchResponse.h"
#include "orvane/site/responses/QueryAutocompleteResponse.h"
#include "orvane/site/responses/QuerySuggestionResponse.h"
#include "orvane/site/responses/ReverseGeocodeResponse.h"
#include "orvane/site/responses/TextSearchResponse.h"
#include "orvane/site/responses/TimezoneResponse.h"

namespace orvane::site {

/// What a SiteClient runs its Call-returning operations on: one virtual function per
/// operation, each taking the request, the call's options and a handler (which may be empty).
///
/// `makeSiteConnection(options)` gives the library's own, the one `SiteClient(ClientOptions)`
/// uses. Applications mock this class in their tests (the testing kit ships
/// `testkit::MockSiteConnection` and `testkit::readyCall`) and hand the mock to
/// `SiteClient(std::shared_ptr<SiteConnection>)`, so the code under test keeps calling a
/// SiteClient. Implementations must be thread-safe, return at once, and end every call with
/// exactly one call of its handler.
class ORVANE_SITE_EXPORT SiteConnection {
 public:
  virtual ~SiteConnection() = default;

  /// Finds places matching a free-text query.
  virtual Call<TextSearchResponse> textSearch(
      TextSearchRequest request, const CallOptions& callOptions,
      std::function<void(Result<TextSearchResponse>)> handler) = 0;
  /// Finds places around a position.
  virtual Call<NearbySearchResponse> nearbySearch(
      NearbySearchRequest request, const CallOptions& callOptions,
      std::function<void(Result<NearbySearchResponse>)> handler) = 0;
  /// Fetches one place by its site identifier.
  virtual Call<DetailSearchResponse> detailSearch(
      DetailSearchRequest request, const CallOptions& callOptions,
      std::function<void(Result<DetailSearchResponse>)> handler) = 0;
  /// Returns the places the service suggests for a query.
  virtual Call<QuerySuggestionResponse> querySuggestion(
      QuerySuggestionRequest request, const CallOptions& callOptions,
      std::function<void(Result<QuerySuggestionResponse>)> handler) = 0;
  /// Completes a partly typed query.
  virtual Call<QueryAutocompleteResponse> queryAutocomplete(
      QueryAutocompleteRequest request, const CallOptions& callOptions,
      std::function<void(Result<QueryAutocompleteResponse>)> handler) = 0;
  /// Turns an address text into places.
  virtual Call<GeocodeResponse> geocode(GeocodeRequest request, const CallOptions& callOptions,
                                        std::function<void(Result<GeocodeResponse>)> handler) = 0;
  /// Turns a position into places.
  virtual Call<ReverseGeocodeResponse> reverseGeocode(
      ReverseGeocodeRequest request, const CallOptions& callOptions,
      std::function<void(Result<ReverseGeocodeResponse>)> handler) = 0;
  /// Looks up the time zone of a position at a moment.
  virtual Call<TimezoneResponse> timezone(
      TimezoneRequest request, const CallOptions& callOptions,
      std::function<void(Result<TimezoneResponse>)> handler) = 0;
};

/// The library's connection over `options` (copied): the pipeline of stages every option
/// client's call runs through. When the last holder lets it go, its calls under way end, each
/// handler once with TransportErrorCode::cancelled. Starts nothing; values are checked per call.
ORVANE_SITE_EXPORT std::shared_ptr<SiteConnection> makeSiteConnection(ClientOptions options);

}  // namespace orvane::site
