#pragma once

#include <memory>

#include "orvane/site/Export.h"
#include "orvane/site/handlers/DetailSearchHandler.h"
#include "orvane/site/handlers/GeocodeHandler.h"
#include "orvane/site/handlers/NearbySearchHandler.h"
#include "orvane/site/handlers/QueryAutocompleteHandler.h"
#include "orvane/site/handlers/QuerySuggestionHandler.h"
#include "orvane/site/handlers/ReverseGeocodeHandler.h"
#include "orvane/site/handlers/TextSearchHandler.h"
#include "orvane/site/handlers/TimezoneHandler.h"
#include "orvane/site/requests/DetailSearchRequest.h"
#include "orvane/site/requests/GeocodeRequest.h"
#include "orvane/site/requests/NearbySearchRequest.h"
#include "orvane/site/requests/QueryAutocompleteRequest.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/requests/ReverseGeocodeRequest.h"
#include "orvane/site/requests/TextSearchRequest.h"
#include "orvane/site/requests/TimezoneRequest.h"

namespace orvane::site {

class ApiContext;

/// The eight operations of the place-search service, as SiteClient offers them. Code that
/// depends on this interface rather than on SiteClient can be tested against a mock of it that
/// hands default-constructed responses (or Errors) to the handlers.
///
/// Contract of every operation: it returns at once and never throws; the handler is later
/// called exactly once, on the library thread "orvane-site-services" and never inside the
/// operation call, with either the response or an Error. `apiContext` may be nullptr (the
/// process-wide configuration applies) and `completionHandler` may be empty (the result is
/// dropped). Every operation may be called from any thread.
class ORVANE_SITE_EXPORT SiteClientProtocol {
 public:
  virtual ~SiteClientProtocol() = default;

  /// Finds places matching a free-text query.
  virtual void textSearch(TextSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                          TextSearchHandler completionHandler) = 0;
  /// Finds places around a position.
  virtual void nearbySearch(NearbySearchRequest request, std::shared_ptr<ApiContext> apiContext,
                            NearbySearchHandler completionHandler) = 0;
  /// Fetches one place by its site id.
  virtual void detailSearch(DetailSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                            DetailSearchHandler completionHandler) = 0;
  /// Suggests places for a partial query.
  virtual void querySuggestion(QuerySuggestionRequest request,
                               std::shared_ptr<ApiContext> apiContext,
                               QuerySuggestionHandler completionHandler) = 0;
  /// Completes a query as it is typed.
  virtual void queryAutocomplete(QueryAutocompleteRequest request,
                                 std::shared_ptr<ApiContext> apiContext,
                                 QueryAutocompleteHandler completionHandler) = 0;
  /// Finds places for an address text.
  virtual void geocode(GeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                       GeocodeHandler completionHandler) = 0;
  /// Finds places at a position.
  virtual void reverseGeocode(ReverseGeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                              ReverseGeocodeHandler completionHandler) = 0;
  /// The time zone of a position at a moment.
  virtual void timezone(TimezoneRequest request, std::shared_ptr<ApiContext> apiContext,
                        TimezoneHandler completionHandler) = 0;

 protected:
  SiteClientProtocol() = default;
  /// For implementations.
  SiteClientProtocol(const SiteClientProtocol&) = default;
  /// For implementations.
  SiteClientProtocol& operator=(const SiteClientProtocol&) = default;
};

}  // namespace orvane::site
