#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Export.h"
#include "orvane/site/internal/client/OperationRequestClient.h"
#include "orvane/site/requests/QuerySuggestionRequest.h"
#include "orvane/site/responses/QuerySuggestionResponse.h"

namespace orvane::site {

/// The request client of the query suggestion: its path and its body dictionary. The facade keeps
/// one for the whole process. Thread-safe (see BaseRequestClient).
class ORVANE_SITE_EXPORT QuerySuggestionRequestClient
    : public OperationRequestClient<QuerySuggestionRequest, QuerySuggestionResponse> {
 public:
  /// ContextDataCache::shared()->apiPath() (read at each call) followed by "querySuggestion";
  /// "mapApi/v1/siteService/querySuggestion" by default.
  std::string path() const override;

  /// The body dictionary of the stored request; an empty object when none is stored. Never
  /// absent.
  nlohmann::json createBodyParameters() const;

 protected:
  std::optional<nlohmann::json> createOptionalBodyParameters() const override;
};

}  // namespace orvane::site
