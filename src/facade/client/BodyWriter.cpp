#include "facade/client/BodyWriter.h"

#include <utility>

#include "text/UpperCase.h"

namespace orvane::site::internal {
namespace {

// Written by hand (not through Coordinate::encode) so that the wire form of requests is fixed
// here, whatever the record's own encoding does.
nlohmann::json coordinateObject(const Coordinate& value) {
  return nlohmann::json{{"lat", value.lat}, {"lng", value.lng}};
}

}  // namespace

BodyWriter& BodyWriter::put(const char* key, const std::string& value) {
  body_[key] = value;
  return *this;
}

BodyWriter& BodyWriter::put(const char* key, std::int64_t value) {
  body_[key] = value;
  return *this;
}

BodyWriter& BodyWriter::put(const char* key, bool value) {
  body_[key] = value;
  return *this;
}

BodyWriter& BodyWriter::put(const char* key, const Coordinate& value) {
  body_[key] = coordinateObject(value);
  return *this;
}

BodyWriter& BodyWriter::put(const char* key, const CoordinateBounds& value) {
  body_[key] = nlohmann::json{{"northeast", coordinateObject(value.northeast)},
                              {"southwest", coordinateObject(value.southwest)}};
  return *this;
}

BodyWriter& BodyWriter::putUpperCased(const char* key, const std::optional<std::string>& value) {
  if (value) body_[key] = text::toUpperCase(*value);
  return *this;
}

BodyWriter& BodyWriter::putUpperCased(const char* key,
                                      const std::optional<std::vector<std::string>>& value) {
  if (!value) return *this;
  nlohmann::json list = nlohmann::json::array();
  for (const std::string& element : *value) list.push_back(text::toUpperCase(element));
  body_[key] = std::move(list);
  return *this;
}

}  // namespace orvane::site::internal
