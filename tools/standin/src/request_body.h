#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "geo.h"

namespace orvane::site::standin::detail {

/// A request the stand-in refuses with status 400; the message becomes the reply's returnDesc.
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Typed, checked reads of one request body. Every reader throws BadRequest naming the member
/// when it is missing (for required ones) or of the wrong kind. JSON null counts as absent.
/// Members the operation does not know are ignored, as a web service would.
class RequestBody {
 public:
  /// Throws BadRequest when `text` is not a JSON object.
  static RequestBody parse(std::string_view text);

  std::string requiredString(const char* key) const;
  std::optional<std::string> optionalString(const char* key) const;
  std::int64_t requiredInteger(const char* key) const;
  std::optional<std::int64_t> optionalInteger(const char* key) const;
  std::optional<bool> optionalBool(const char* key) const;
  LatLng requiredCoordinate(const char* key) const;
  std::optional<LatLng> optionalCoordinate(const char* key) const;
  std::optional<Box> optionalBounds(const char* key) const;
  std::optional<std::vector<std::string>> optionalStringList(const char* key) const;

 private:
  explicit RequestBody(nlohmann::json body) : body_(std::move(body)) {}
  const nlohmann::json* member(const char* key) const;

  nlohmann::json body_;
};

}  // namespace orvane::site::standin::detail
