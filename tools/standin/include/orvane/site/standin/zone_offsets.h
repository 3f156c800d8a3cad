#pragma once

#include <cstdint>
#include <string>

namespace orvane::site::standin {

/// Offsets from UTC of one zone at one instant.
struct ZoneOffsets {
  std::int64_t rawOffset = 0;  ///< standard offset, seconds east of UTC
  std::int64_t dstOffset = 0;  ///< seconds that daylight-saving time adds at that instant
  std::string abbreviation;    ///< the zone database's abbreviation, e.g. "CET", "CEST", "+03"
};

}  // namespace orvane::site::standin
