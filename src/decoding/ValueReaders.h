#pragma once

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "decoding/DecodeFailure.h"
#include "decoding/RecordArena.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"

// One overload of readValue per kind of field. Every reader is handed a present, non-null JSON
// value (absent and null members are settled by the record reader), fills `out` and returns true,
// or reports the fault to `failure` and returns false. Scalar readers are inline (they run for
// every member); their fault reports are out of line.

namespace orvane::site {
class AddressDetail;
class ChildrenNode;
class OpeningHours;
class Period;
class Poi;
class Site;
class TimeOfWeek;
struct AutoCompletePrediction;
struct Word;
}  // namespace orvane::site

namespace orvane::site::decoding {

using simdjson::dom::element;
using simdjson::dom::element_type;

/// The first element count reserved for a list. A huge list of nulls or wrong values must not
/// make us allocate far more than its text before its first element fails; longer lists grow.
inline constexpr std::size_t kMaxReservedElements = 1024;

// Fault reports (cold).
void failKind(const char* expected, element value, DecodeFailure& failure);
void failIntegerRange(element value, DecodeFailure& failure);
void failNullElement(DecodeFailure& failure);

inline bool readValue(element value, std::string& out, DecodeFailure& failure) {
  std::string_view text;
  if (value.get(text) != simdjson::SUCCESS) {
    failKind("a string", value, failure);
    return false;
  }
  out.assign(text.data(), text.size());
  return true;
}

/// Texts are built in place from the parsed string (no empty string first).
inline bool readValue(element value, std::optional<std::string>& out, DecodeFailure& failure) {
  std::string_view text;
  if (value.get(text) != simdjson::SUCCESS) {
    failKind("a string", value, failure);
    return false;
  }
  out.emplace(text);
  return true;
}

/// Any JSON number whose value is whole and within the signed 64-bit range: 3600, 3600.0, 3.6e3.
inline bool readValue(element value, std::int64_t& out, DecodeFailure& failure) {
  // 2^63: the first double above the signed 64-bit range; -2^63 is the last one inside it.
  constexpr double kInt64End = 9223372036854775808.0;
  switch (value.type()) {
    case element_type::INT64:
      out = value.get_int64().value_unsafe();
      return true;
    case element_type::DOUBLE: {
      const double number = value.get_double().value_unsafe();
      // Range first: converting a double outside the range to an integer is undefined.
      if (number >= -kInt64End && number < kInt64End && std::trunc(number) == number) {
        out = static_cast<std::int64_t>(number);
        return true;
      }
      failIntegerRange(value, failure);
      return false;
    }
    case element_type::UINT64:  // simdjson uses it only for values above the signed range
      failIntegerRange(value, failure);
      return false;
    default:
      failKind("an integer", value, failure);
      return false;
  }
}

inline bool readValue(element value, double& out, DecodeFailure& failure) {
  switch (value.type()) {
    case element_type::DOUBLE:
      out = value.get_double().value_unsafe();
      return true;
    case element_type::INT64:
      out = static_cast<double>(value.get_int64().value_unsafe());
      return true;
    case element_type::UINT64:
      out = static_cast<double>(value.get_uint64().value_unsafe());
      return true;
    default:
      failKind("a number", value, failure);
      return false;
  }
}

// Records; each defined beside its key table in src/records/ or src/responses/.
bool readValue(element value, Coordinate& out, DecodeFailure& failure);
bool readValue(element value, CoordinateBounds& out, DecodeFailure& failure);
bool readValue(element value, Word& out, DecodeFailure& failure);
bool readValue(element value, AutoCompletePrediction& out, DecodeFailure& failure);
bool readValue(element value, AddressDetail& out, DecodeFailure& failure);
bool readValue(element value, TimeOfWeek& out, DecodeFailure& failure);
bool readValue(element value, Period& out, DecodeFailure& failure);
bool readValue(element value, OpeningHours& out, DecodeFailure& failure);
bool readValue(element value, ChildrenNode& out, DecodeFailure& failure);
bool readValue(element value, Poi& out, DecodeFailure& failure);
bool readValue(element value, Site& out, DecodeFailure& failure);

/// The value a field holds before it is read. Positions have no empty state, so they start from
/// placeholders that decoding always overwrites (both of their members are required).
template <class T>
struct EmptyValue {
  static T make() { return T{}; }
};
template <>
struct EmptyValue<Coordinate> {
  static Coordinate make() noexcept { return Coordinate(0.0, 0.0); }
};
template <>
struct EmptyValue<CoordinateBounds> {
  static CoordinateBounds make() noexcept {
    return CoordinateBounds(Coordinate(0.0, 0.0), Coordinate(0.0, 0.0));
  }
};

template <class T>
bool readValue(element value, std::optional<T>& out, DecodeFailure& failure) {
  out.emplace(EmptyValue<T>::make());
  return readValue(value, *out, failure);
}

template <class T>
bool readValue(element value, std::shared_ptr<T>& out, DecodeFailure& failure) {
  auto record = makeRecord<T>();
  if (!readValue(value, *record, failure)) return false;
  out = std::move(record);
  return true;
}

/// Lists never hold empty elements: a null element is a fault (valueNotFound).
template <class T>
bool readValue(element value, std::vector<T>& out, DecodeFailure& failure) {
  simdjson::dom::array array;
  if (value.get(array) != simdjson::SUCCESS) {
    failKind("an array", value, failure);
    return false;
  }
  out.clear();
  out.reserve(std::min<std::size_t>(array.size(), kMaxReservedElements));
  std::size_t index = 0;
  for (element item : array) {
    bool ok = false;
    if (item.is_null()) {
      failNullElement(failure);
      ok = false;
    } else if constexpr (std::is_same_v<T, std::string>) {
      std::string_view text;
      ok = item.get(text) == simdjson::SUCCESS;
      if (ok) {
        out.emplace_back(text);
      } else {
        failKind("a string", item, failure);
      }
    } else {
      out.push_back(EmptyValue<T>::make());
      ok = readValue(item, out.back(), failure);
    }
    if (!ok) {
      failure.prependIndex(index);
      return false;
    }
    ++index;
  }
  return true;
}

}  // namespace orvane::site::decoding
