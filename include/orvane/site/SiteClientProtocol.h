#pragma once

#include <memory>

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
class SiteClientProtocol {
 public:
  virtual ~SiteClientProtocol() = default;

  virtual void textSearch(TextSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                          TextSearchHandler completionHandler) = 0;
  virtual void nearbySearch(NearbySearchRequest request, std::shared_ptr<ApiContext> apiContext,
                            NearbySearchHandler completionHandler) = 0;
  virtual void detailSearch(DetailSearchRequest request, std::shared_ptr<ApiContext> apiContext,
                            DetailSearchHandler completionHandler) = 0;
  virtual void querySuggestion(QuerySuggestionRequest request,
                               std::shared_ptr<ApiContext> apiContext,
                               QuerySuggestionHandler completionHandler) = 0;
  virtual void queryAutocomplete(QueryAutocompleteRequest request,
                                 std::shared_ptr<ApiContext> apiContext,
                                 QueryAutocompleteHandler completionHandler) = 0;
  virtual void geocode(GeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                       GeocodeHandler completionHandler) = 0;
  virtual void reverseGeocode(ReverseGeocodeRequest request, std::shared_ptr<ApiContext> apiContext,
                              ReverseGeocodeHandler completionHandler) = 0;
  virtual void timezone(TimezoneRequest request, std::shared_ptr<ApiContext> apiContext,
                        TimezoneHandler completionHandler) = 0;

 protected:
  SiteClientProtocol() = default;
  SiteClientProtocol(const SiteClientProtocol&) = default;
  SiteClientProtocol& operator=(const SiteClientProtocol&) = default;
};

}  // namespace orvane::site
