#pragma once

#include <gmock/gmock.h>

#include <memory>

#include "orvane/site/SiteClientProtocol.h"
#include "orvane/site/testing/FormerNamespace.h"

namespace orvane::site::testkit {

/// A GoogleMock of SiteClientProtocol, for testing code that takes the protocol instead of a
/// SiteClient. Set expectations with EXPECT_CALL and answer through the handler argument:
/// \code
/// orvane::site::testkit::MockSiteClient client;
/// EXPECT_CALL(client, timezone).WillOnce([](auto request, auto context, auto handler) {
///   auto response = std::make_shared<orvane::site::TimezoneResponse>();
///   response->timeZoneId = "Europe/Paris";
///   handler(response, std::nullopt);
/// });
/// \endcode
/// The mock calls handlers where the test's actions call them (often on the test's own thread),
/// not on the library thread. Thread-safety is GoogleMock's.
class MockSiteClient : public SiteClientProtocol {
 public:
  /// Mock of SiteClientProtocol::textSearch.
  MOCK_METHOD(void, textSearch,
              (TextSearchRequest request, std::shared_ptr<ApiContext> apiContext,
               TextSearchHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::nearbySearch.
  MOCK_METHOD(void, nearbySearch,
              (NearbySearchRequest request, std::shared_ptr<ApiContext> apiContext,
               NearbySearchHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::detailSearch.
  MOCK_METHOD(void, detailSearch,
              (DetailSearchRequest request, std::shared_ptr<ApiContext> apiContext,
               DetailSearchHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::querySuggestion.
  MOCK_METHOD(void, querySuggestion,
              (QuerySuggestionRequest request, std::shared_ptr<ApiContext> apiContext,
               QuerySuggestionHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::queryAutocomplete.
  MOCK_METHOD(void, queryAutocomplete,
              (QueryAutocompleteRequest request, std::shared_ptr<ApiContext> apiContext,
               QueryAutocompleteHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::geocode.
  MOCK_METHOD(void, geocode,
              (GeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
               GeocodeHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::reverseGeocode.
  MOCK_METHOD(void, reverseGeocode,
              (ReverseGeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
               ReverseGeocodeHandler completionHandler),
              (override));
  /// Mock of SiteClientProtocol::timezone.
  MOCK_METHOD(void, timezone,
              (TimezoneRequest request, std::shared_ptr<ApiContext> apiContext,
               TimezoneHandler completionHandler),
              (override));
};

}  // namespace orvane::site::testkit
