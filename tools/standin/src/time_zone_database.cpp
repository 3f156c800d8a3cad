#include "orvane/site/standin/time_zone_database.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "tzif.h"

namespace orvane::site::standin {
namespace {

constexpr std::int64_t kYear = 366 * 86400;

bool isZoneName(const std::string& id) {
  if (id.empty() || id.front() == '/' || id.find("..") != std::string::npos) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '_' || c == '-' || c == '+';
  });
}

// Standard offset paired with the local time `current`, found in the explicit transitions.
std::int32_t standardOffsetInTable(const detail::Tzif& zone, std::ptrdiff_t index, std::int64_t t) {
  const detail::LocalTime& current = zone.typeAfter(index);
  const auto count = static_cast<std::ptrdiff_t>(zone.transitions.size());
  if (current.isDst) {
    // The nearest standard-time period before, else after, whichever gives a positive saving
    // (a zone may change its standard offset when DST starts or ends). Negative DST reports the
    // lower offset as raw.
    std::optional<std::int32_t> before;
    std::optional<std::int32_t> after;
    for (std::ptrdiff_t i = index - 1; i >= -1 && !before; --i) {
      if (!zone.typeAfter(i).isDst) before = zone.typeAfter(i).utcOffset;
    }
    for (std::ptrdiff_t i = index + 1; i < count && !after; ++i) {
      if (!zone.typeAfter(i).isDst) after = zone.typeAfter(i).utcOffset;
    }
    if (!after && zone.footer) after = zone.footer->standardOffset();
    for (const auto& standard : {before, after}) {
      if (standard && *standard < current.utcOffset) return *standard;
    }
    for (const auto& standard : {before, after}) {
      if (standard && *standard > current.utcOffset) return current.utcOffset;
    }
    // Flagged as daylight time, yet the clocks did not move (Argentina 1999-2000): the data
    // lost the standard offset, and one hour is the saving such periods had.
    return current.utcOffset - 3600;
  }
  // Standard time: a neighbouring "daylight" period with a lower offset means the zone's data
  // uses negative DST, and that lower offset is the one people call standard.
  std::int32_t raw = current.utcOffset;
  if (index >= 0 && t - zone.transitions[static_cast<std::size_t>(index)] < kYear) {
    const detail::LocalTime& before = zone.typeAfter(index - 1);
    if (before.isDst) raw = std::min(raw, before.utcOffset);
  }
  if (index + 1 < count && zone.transitions[static_cast<std::size_t>(index + 1)] - t < kYear) {
    const detail::LocalTime& after = zone.typeAfter(index + 1);
    if (after.isDst) raw = std::min(raw, after.utcOffset);
  }
  return raw;
}

}  // namespace

TimeZoneDatabase::TimeZoneDatabase(std::filesystem::path zoneinfoDirectory)
    : directory_(std::move(zoneinfoDirectory)) {}

TimeZoneDatabase::~TimeZoneDatabase() = default;

const TimeZoneDatabase& TimeZoneDatabase::system() {
  static const TimeZoneDatabase* instance = new TimeZoneDatabase();
  return *instance;
}

std::shared_ptr<const detail::Tzif> TimeZoneDatabase::load(const std::string& zoneId) const {
  if (!isZoneName(zoneId)) throw std::invalid_argument("not a time-zone name: " + zoneId);
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = cache_.find(zoneId);
  if (found != cache_.end()) return found->second;

  const std::filesystem::path path = directory_ / zoneId;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("no time-zone file " + path.string() + " (install tzdata)");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto zone = std::make_shared<const detail::Tzif>(detail::Tzif::parse(bytes.str()));
  cache_.emplace(zoneId, zone);
  return zone;
}

ZoneOffsets TimeZoneDatabase::offsetsAt(const std::string& zoneId, std::int64_t t) const {
  std::shared_ptr<const detail::Tzif> zone = load(zoneId);
  const std::ptrdiff_t index = zone->transitionIndexAt(t);
  const bool afterTable = zone->transitions.empty() ||
                          index == static_cast<std::ptrdiff_t>(zone->transitions.size()) - 1;

  ZoneOffsets result;
  if (afterTable && zone->footer) {
    const detail::LocalTime local = zone->footer->at(t);
    const std::int32_t raw =
        zone->footer->hasDst() ? std::min(zone->footer->standardOffset(), zone->footer->dstOffset())
                               : local.utcOffset;
    result.rawOffset = raw;
    result.dstOffset = local.utcOffset - raw;
    result.abbreviation = local.abbreviation;
    return result;
  }
  const detail::LocalTime& local = zone->typeAfter(index);
  const std::int32_t raw = standardOffsetInTable(*zone, index, t);
  result.rawOffset = raw;
  result.dstOffset = local.utcOffset - raw;
  result.abbreviation = local.abbreviation;
  return result;
}

}  // namespace orvane::site::standin
