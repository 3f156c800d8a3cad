#include "posix_tz_rule.h"

#include <cctype>

namespace orvane::site::standin::detail {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

bool isLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(std::int64_t y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Small cursor over the rule text; every reader returns false on malformed input.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool done() const { return pos_ == text_.size(); }
  char peek() const { return done() ? '\0' : text_[pos_]; }
  bool accept(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }

  bool name(std::string& out) {
    if (accept('<')) {
      std::size_t close = text_.find('>', pos_);
      if (close == std::string_view::npos || close == pos_) return false;
      out = std::string(text_.substr(pos_, close - pos_));
      pos_ = close + 1;
      return true;
    }
    std::size_t begin = pos_;
    while (!done() && std::isalpha(static_cast<unsigned char>(peek()))) ++pos_;
    if (pos_ - begin < 3) return false;
    out = std::string(text_.substr(begin, pos_ - begin));
    return true;
  }

  bool number(int& out, int maxValue) {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) return false;
    long value = 0;
    while (std::isdigit(static_cast<unsigned char>(peek()))) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > maxValue) return false;
    }
    out = static_cast<int>(value);
    return true;
  }

  // [+-]hh[:mm[:ss]] in seconds.
  bool duration(std::int32_t& out, int maxHours) {
    int sign = 1;
    if (accept('-')) {
      sign = -1;
    } else {
      accept('+');
    }
    int h = 0, m = 0, s = 0;
    if (!number(h, maxHours)) return false;
    if (accept(':') && (!number(m, 59) || (accept(':') && !number(s, 59)))) return false;
    out = sign * (h * 3600 + m * 60 + s);
    return true;
  }

  bool date(PosixTzRule::Date& out) {
    using Kind = PosixTzRule::Date::Kind;
    if (accept('M')) {
      out.kind = Kind::kMonthWeekDay;
      if (!number(out.month, 12) || out.month < 1 || !accept('.') || !number(out.week, 5) ||
          out.week < 1 || !accept('.') || !number(out.day, 6)) {
        return false;
      }
    } else if (accept('J')) {
      out.kind = Kind::kJulianNoLeap;
      if (!number(out.day, 365) || out.day < 1) return false;
    } else {
      out.kind = Kind::kZeroBased;
      if (!number(out.day, 365)) return false;
    }
    out.time = 7200;
    return !accept('/') || duration(out.time, 167);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  // Howard Hinnant's days_from_civil.
  y -= m <= 2;
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::int64_t yearOfDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = floorDiv(days, 146097);
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return yoe + era * 400 + (month <= 2);
}

std::optional<PosixTzRule> PosixTzRule::parse(std::string_view text) {
  PosixTzRule rule;
  Cursor in(text);
  std::int32_t west = 0;
  // POSIX offsets count hours west of Greenwich; LocalTime counts seconds east.
  if (!in.name(rule.std_.abbreviation) || !in.duration(west, 24)) return std::nullopt;
  rule.std_.utcOffset = -west;
  if (in.done()) return rule;

  if (!in.name(rule.dst_.abbreviation)) return std::nullopt;
  rule.hasDst_ = true;
  rule.dst_.isDst = true;
  rule.dst_.utcOffset = rule.std_.utcOffset + 3600;
  if (in.peek() != ',' && !in.done()) {
    if (!in.duration(west, 24)) return std::nullopt;
    rule.dst_.utcOffset = -west;
  }
  if (in.done()) {
    // No dates given: POSIX leaves them to the implementation; use the common US rule.
    rule.start_ = Date{Date::Kind::kMonthWeekDay, 0, 2, 3, 7200};
    rule.end_ = Date{Date::Kind::kMonthWeekDay, 0, 1, 11, 7200};
    return rule;
  }
  if (!in.accept(',') || !in.date(rule.start_) || !in.accept(',') || !in.date(rule.end_) ||
      !in.done()) {
    return std::nullopt;
  }
  return rule;
}

std::int64_t PosixTzRule::instant(const Date& date, std::int64_t year, std::int32_t offsetBefore) {
  std::int64_t day = 0;
  switch (date.kind) {
    case Date::Kind::kJulianNoLeap:
      day = daysFromCivil(year, 1, 1) + date.day - 1 + (isLeap(year) && date.day >= 60 ? 1 : 0);
      break;
    case Date::Kind::kZeroBased:
      day = daysFromCivil(year, 1, 1) + date.day;
      break;
    case Date::Kind::kMonthWeekDay: {
      const std::int64_t first = daysFromCivil(year, date.month, 1);
      const std::int64_t weekday = ((first + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
      day = first + (date.day - weekday + 7) % 7 + (date.week - 1) * 7;
      const std::int64_t last = first + daysInMonth(year, date.month) - 1;
      while (day > last) day -= 7;  // week 5 means the last such weekday of the month
      break;
    }
  }
  return day * 86400 + date.time - offsetBefore;
}

LocalTime PosixTzRule::at(std::int64_t t) const {
  if (!hasDst_) return std_;
  const std::int64_t year = yearOfDays(floorDiv(t + std_.utcOffset, 86400));
  const std::int64_t start = instant(start_, year, std_.utcOffset);
  const std::int64_t end = instant(end_, year, dst_.utcOffset);
  const bool inDst = start < end ? (start <= t && t < end) : !(end <= t && t < start);
  return inDst ? dst_ : std_;
}

}  // namespace orvane::site::standin::detail
