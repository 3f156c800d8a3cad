#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::site::standin::detail {

/// The local time in force at one instant.
struct LocalTime {
  std::int32_t utcOffset = 0;  // seconds east of UTC
  bool isDst = false;
  std::string abbreviation;
};

/// A POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3", the footer of TZif version 2+ files
/// that gives local time after the file's last transition (RFC 8536 section 3.3, with its
/// extensions: hours of rule times from -167 to 167).
class PosixTzRule {
 public:
  /// Returns nothing when `text` is not a rule of that form.
  static std::optional<PosixTzRule> parse(std::string_view text);

  LocalTime at(std::int64_t unixSeconds) const;

  bool hasDst() const { return hasDst_; }
  std::int32_t standardOffset() const { return std_.utcOffset; }
  std::int32_t dstOffset() const { return dst_.utcOffset; }

  struct Date {
    enum class Kind { kJulianNoLeap, kZeroBased, kMonthWeekDay } kind = Kind::kMonthWeekDay;
    int day = 0;               // Jn: 1..365; n: 0..365; Mm.w.d: d, 0 = Sunday
    int week = 0;              // Mm.w.d: 1..5, 5 = last
    int month = 0;             // Mm.w.d: 1..12
    std::int32_t time = 7200;  // seconds after local midnight, default 02:00
  };

 private:
  // UTC instant of `date` in `year`, given the offset in force just before it.
  static std::int64_t instant(const Date& date, std::int64_t year, std::int32_t offsetBefore);

  LocalTime std_;
  LocalTime dst_;
  bool hasDst_ = false;
  Date start_;
  Date end_;
};

/// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t year, int month, int day);

/// Year of the proleptic Gregorian date that is `days` after 1970-01-01.
std::int64_t yearOfDays(std::int64_t days);

}  // namespace orvane::site::standin::detail
