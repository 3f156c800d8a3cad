#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "posix_tz_rule.h"

namespace orvane::site::standin::detail {

/// The content of one TZif file (RFC 8536) that local-time look-ups need: transitions, local
/// time types and the footer rule for instants after the last transition. Leap-second records
/// are skipped (the system's "right/" zones are not used).
struct Tzif {
  std::vector<std::int64_t> transitions;  // ascending UTC instants
  std::vector<std::uint8_t> typeIndexes;  // local time type in force from each transition on
  std::vector<LocalTime> types;           // at least one
  std::optional<PosixTzRule> footer;

  /// Parses a whole file; throws std::runtime_error when it is not a well-formed TZif file.
  static Tzif parse(std::string_view bytes);

  /// Index of the last transition at or before `t`, or -1 before the first one.
  std::ptrdiff_t transitionIndexAt(std::int64_t t) const;

  /// Local time type in force after transition `index` (-1: before the first transition).
  const LocalTime& typeAfter(std::ptrdiff_t index) const;
};

}  // namespace orvane::site::standin::detail
