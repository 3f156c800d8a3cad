#pragma once

#include <memory>

#include "orvane/site/Export.h"
#include "orvane/site/records/TimeOfWeek.h"

namespace orvane::site {

/// One opening of a place, from an opening moment to a closing moment.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT Period {
 public:
  /// "open": when the period begins; nullptr when absent.
  std::shared_ptr<TimeOfWeek> open;
  /// "close": when the period ends; nullptr when absent.
  std::shared_ptr<TimeOfWeek> close;
};

}  // namespace orvane::site
