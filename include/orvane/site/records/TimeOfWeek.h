#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// One moment of a week: the day as the service numbers it and the time of day as its text.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT TimeOfWeek {
 public:
  /// "week": the day of the week, as the number the service sends.
  std::optional<std::int64_t> week;
  /// "time": the time of day, as the text the service sends.
  std::optional<std::string> time;
};

}  // namespace orvane::site
