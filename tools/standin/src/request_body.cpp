#include "request_body.h"

#include <cmath>
#include <limits>

namespace orvane::site::standin::detail {
namespace {

[[noreturn]] void reject(const std::string& key, const char* what) {
  throw BadRequest("INVALID_REQUEST: \"" + key + "\" " + what);
}

// Whole numbers in any JSON form (3, 3.0, 3e0) within the signed 64-bit range.
std::optional<std::int64_t> wholeNumber(const nlohmann::json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
  if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(n);
  }
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (std::isfinite(d) && d == std::floor(d) && d >= -9.2e18 && d <= 9.2e18) {
      return static_cast<std::int64_t>(d);
    }
  }
  return std::nullopt;
}

LatLng coordinate(const nlohmann::json& value, const std::string& key) {
  if (!value.is_object()) reject(key, "must be an object with \"lat\" and \"lng\"");
  auto read = [&](const char* part, double limit) {
    const auto found = value.find(part);
    const std::string name = key + "." + part;
    if (found == value.end() || found->is_null()) reject(name, "is missing");
    if (!found->is_number()) reject(name, "must be a number");
    const double d = found->get<double>();
    if (!std::isfinite(d) || d < -limit || d > limit) reject(name, "is out of range");
    return d;
  };
  const double lat = read("lat", 90);
  const double lng = read("lng", 180);
  return LatLng{lat, lng};
}

}  // namespace

RequestBody RequestBody::parse(std::string_view text) {
  nlohmann::json body = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (body.is_discarded()) throw BadRequest("INVALID_REQUEST: the body is not valid JSON");
  if (!body.is_object()) throw BadRequest("INVALID_REQUEST: the body is not a JSON object");
  return RequestBody(std::move(body));
}

const nlohmann::json* RequestBody::member(const char* key) const {
  const auto found = body_.find(key);
  return found == body_.end() || found->is_null() ? nullptr : &*found;
}

std::string RequestBody::requiredString(const char* key) const {
  std::optional<std::string> value = optionalString(key);
  if (!value) reject(key, "is missing");
  return *value;
}

std::optional<std::string> RequestBody::optionalString(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_string()) reject(key, "must be a string");
  return value->get<std::string>();
}

std::int64_t RequestBody::requiredInteger(const char* key) const {
  std::optional<std::int64_t> value = optionalInteger(key);
  if (!value) reject(key, "is missing");
  return *value;
}

std::optional<std::int64_t> RequestBody::optionalInteger(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  std::optional<std::int64_t> n = wholeNumber(*value);
  if (!n) reject(key, "must be a whole number");
  return n;
}

std::optional<bool> RequestBody::optionalBool(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_boolean()) reject(key, "must be true or false");
  return value->get<bool>();
}

LatLng RequestBody::requiredCoordinate(const char* key) const {
  std::optional<LatLng> value = optionalCoordinate(key);
  if (!value) reject(key, "is missing");
  return *value;
}

std::optional<LatLng> RequestBody::optionalCoordinate(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  return coordinate(*value, key);
}

std::optional<Box> RequestBody::optionalBounds(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_object()) reject(key, "must be an object with \"northeast\" and \"southwest\"");
  const std::string name(key);
  auto corner = [&](const char* part) {
    const auto found = value->find(part);
    if (found == value->end() || found->is_null()) reject(name + "." + part, "is missing");
    return coordinate(*found, name + "." + part);
  };
  Box box{corner("northeast"), corner("southwest")};
  if (box.southwest.lat > box.northeast.lat)
    reject(key, "has its south-west corner north of its north-east corner");
  return box;
}

std::optional<std::vector<std::string>> RequestBody::optionalStringList(const char* key) const {
  const nlohmann::json* value = member(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_array()) reject(key, "must be a list of strings");
  std::vector<std::string> list;
  for (const auto& element : *value) {
    if (!element.is_string()) reject(key, "must be a list of strings");
    list.push_back(element.get<std::string>());
  }
  return list;
}

}  // namespace orvane::site::standin::detail
