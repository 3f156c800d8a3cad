#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Export.h"
#include "orvane/site/records/Period.h"

namespace orvane::site {

/// The opening hours of a place, as lines of text and as a list of periods.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT OpeningHours {
 public:
  /// "texts": the hours written out, in the service's order and wording.
  std::optional<std::vector<std::string>> texts;
  /// "periods": the opening periods, in the service's order.
  std::optional<std::vector<std::shared_ptr<Period>>> periods;
};

}  // namespace orvane::site
