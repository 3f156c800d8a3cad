#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site::internal {

/// Builds the body dictionary of a request, field by field, with the rules every operation
/// shares:
/// - an absent optional leaves its key out (never JSON null); a present zero, false, empty text
///   or empty list is sent;
/// - text as a JSON string, integers as JSON integers, booleans as true/false;
/// - a Coordinate as {"lat": number, "lng": number}; CoordinateBounds as
///   {"northeast": {...}, "southwest": {...}};
/// - `putUpperCased` sends POI-type texts (or each element of a list of them) upper-cased with
///   Unicode's locale-independent full mapping.
/// Each request client lists its fields once, in body order, with these calls.
class BodyWriter {
 public:
  BodyWriter& put(const char* key, const std::string& value);
  BodyWriter& put(const char* key, std::int64_t value);
  BodyWriter& put(const char* key, bool value);
  BodyWriter& put(const char* key, const Coordinate& value);
  BodyWriter& put(const char* key, const CoordinateBounds& value);

  template <class T>
  BodyWriter& put(const char* key, const std::optional<T>& value) {
    return value ? put(key, *value) : *this;
  }

  BodyWriter& putUpperCased(const char* key, const std::optional<std::string>& value);
  BodyWriter& putUpperCased(const char* key, const std::optional<std::vector<std::string>>& value);

  /// The finished dictionary (an object, empty when nothing was put).
  nlohmann::json take() { return std::move(body_); }

 private:
  nlohmann::json body_ = nlohmann::json::object();
};

}  // namespace orvane::site::internal
