#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "orvane/site/standin/zone_offsets.h"

namespace orvane::site::standin {

namespace detail {
struct Tzif;
}

/// Reads the system's compiled time-zone files (TZif, as shipped by Debian's tzdata) itself, so no
/// global TZ state is touched. `rawOffset + dstOffset` is always the zone's offset at the instant.
///
/// For zones whose data marks winter time as the daylight-saving period (negative DST, as for
/// Europe/Dublin), the lower of the two offsets is reported as `rawOffset`, so `dstOffset` is
/// never negative.
///
/// Thread-safe: files are read once, on first use of each zone, under a lock.
class TimeZoneDatabase {
 public:
  explicit TimeZoneDatabase(std::filesystem::path zoneinfoDirectory = "/usr/share/zoneinfo");
  ~TimeZoneDatabase();
  TimeZoneDatabase(const TimeZoneDatabase&) = delete;
  TimeZoneDatabase& operator=(const TimeZoneDatabase&) = delete;

  /// The database over /usr/share/zoneinfo, made on first use and never destroyed.
  static const TimeZoneDatabase& system();

  /// Offsets of `zoneId` (e.g. "Europe/Paris") at `unixSeconds`. Throws std::invalid_argument
  /// for a malformed zone name and std::runtime_error when the zone's file is missing or broken.
  ZoneOffsets offsetsAt(const std::string& zoneId, std::int64_t unixSeconds) const;

 private:
  std::shared_ptr<const detail::Tzif> load(const std::string& zoneId) const;

  std::filesystem::path directory_;
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::shared_ptr<const detail::Tzif>> cache_;
};

}  // namespace orvane::site::standin
