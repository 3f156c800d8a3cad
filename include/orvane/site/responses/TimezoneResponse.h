#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvane/site/Export.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {

/// The reply of a time-zone lookup: the offsets and the zone's identifier and name.
///
/// Made by decode<TimezoneResponse>() from the reply; the envelope (returnCode, returnDesc) is
/// kept as received. Applications may read and assign every member and may default-construct
/// one (for example to build fake replies in tests). Not synchronised.
class ORVANE_SITE_EXPORT TimezoneResponse : public BaseResponse {
 public:
  /// "dstOffset": the daylight-saving offset, as the integer received.
  std::optional<std::int64_t> dstOffset;
  /// "rawOffset": the standard offset, as the integer received.
  std::optional<std::int64_t> rawOffset;
  /// "timeZoneId": for example "Europe/Paris".
  std::optional<std::string> timeZoneId;
  /// "timeZoneName": the zone's name as the service words it.
  std::optional<std::string> timeZoneName;
};

}  // namespace orvane::site
