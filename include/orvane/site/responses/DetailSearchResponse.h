#pragma once

#include <memory>

#include "orvane/site/Export.h"
#include "orvane/site/records/Site.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {

/// The reply of a detail search: the one place asked for.
///
/// Made by decode<DetailSearchResponse>() from the reply; the envelope (returnCode, returnDesc) is
/// kept as received. Applications may read and assign every member and may default-construct one
/// (for example to build fake replies in tests). Not synchronised.
class ORVANE_SITE_EXPORT DetailSearchResponse : public BaseResponse {
 public:
  /// "site": the place; nullptr when the reply has none.
  std::shared_ptr<Site> site;
};

}  // namespace orvane::site
