#pragma once

#include <gmock/gmock.h>

#include <functional>

#include "orvane/site/SiteConnection.h"
#include "orvane/site/testing/FormerNamespace.h"

namespace orvane::site::testkit {

/// A GoogleMock of SiteConnection, for testing code that calls the Call-returning forms of a
/// SiteClient. Hand it to `SiteClient(std::shared_ptr<SiteConnection>)` and answer with
/// testkit::readyCall:
/// \code
/// auto connection = std::make_shared<orvane::site::testkit::MockSiteConnection>();
/// EXPECT_CALL(*connection, timezone).WillOnce([](auto, auto&, auto) {
///   auto response = std::make_shared<orvane::site::TimezoneResponse>();
///   response->timeZoneId = "Europe/Paris";
///   return orvane::site::testkit::readyCall(response);
/// });
/// orvane::site::SiteClient client(connection);
/// \endcode
/// Thread-safety is GoogleMock's. The mock calls a handler only where the test's action does.
class MockSiteConnection : public SiteConnection {
 public:
  /// Mock of SiteConnection::textSearch.
  MOCK_METHOD(Call<TextSearchResponse>, textSearch,
              (TextSearchRequest request, const CallOptions& callOptions,
               std::function<void(Result<TextSearchResponse>)> handler),
              (override));
  /// Mock of SiteConnection::nearbySearch.
  MOCK_METHOD(Call<NearbySearchResponse>, nearbySearch,
              (NearbySearchRequest request, const CallOptions& callOptions,
               std::function<void(Result<NearbySearchResponse>)> handler),
              (override));
  /// Mock of SiteConnection::detailSearch.
  MOCK_METHOD(Call<DetailSearchResponse>, detailSearch,
              (DetailSearchRequest request, const CallOptions& callOptions,
               std::function<void(Result<DetailSearchResponse>)> handler),
              (override));
  /// Mock of SiteConnection::querySuggestion.
  MOCK_METHOD(Call<QuerySuggestionResponse>, querySuggestion,
              (QuerySuggestionRequest request, const CallOptions& callOptions,
               std::function<void(Result<QuerySuggestionResponse>)> handler),
              (override));
  /// Mock of SiteConnection::queryAutocomplete.
  MOCK_METHOD(Call<QueryAutocompleteResponse>, queryAutocomplete,
              (QueryAutocompleteRequest request, const CallOptions& callOptions,
               std::function<void(Result<QueryAutocompleteResponse>)> handler),
              (override));
  /// Mock of SiteConnection::geocode.
  MOCK_METHOD(Call<GeocodeResponse>, geocode,
              (GeocodeRequest request, const CallOptions& callOptions,
               std::function<void(Result<GeocodeResponse>)> handler),
              (override));
  /// Mock of SiteConnection::reverseGeocode.
  MOCK_METHOD(Call<ReverseGeocodeResponse>, reverseGeocode,
              (ReverseGeocodeRequest request, const CallOptions& callOptions,
               std::function<void(Result<ReverseGeocodeResponse>)> handler),
              (override));
  /// Mock of SiteConnection::timezone.
  MOCK_METHOD(Call<TimezoneResponse>, timezone,
              (TimezoneRequest request, const CallOptions& callOptions,
               std::function<void(Result<TimezoneResponse>)> handler),
              (override));
};

}  // namespace orvane::site::testkit
