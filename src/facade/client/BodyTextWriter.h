#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site::internal {

/// Writes a request body as JSON text directly, byte for byte what BodyWriter's tree gives
/// when dumped (numbers and escapes as the tree writes them), without building the tree. Same
/// put rules as BodyWriter. Members must be put in byte order of their keys, the order the
/// tree writes them in.
///
/// A value the text cannot hold as given (a number that is not finite, text that is not UTF-8)
/// or a member out of order makes `finish` fail; the caller then takes the tree's path, which
/// names the problem.
class BodyTextWriter {
 public:
  BodyTextWriter();

  BodyTextWriter& put(const char* key, const std::string& value);
  BodyTextWriter& put(const char* key, std::int64_t value);
  BodyTextWriter& put(const char* key, bool value);
  BodyTextWriter& put(const char* key, const Coordinate& value);
  BodyTextWriter& put(const char* key, const CoordinateBounds& value);

  template <class T>
  BodyTextWriter& put(const char* key, const std::optional<T>& value) {
    return value ? put(key, *value) : *this;
  }

  BodyTextWriter& putUpperCased(const char* key, const std::optional<std::string>& value);
  BodyTextWriter& putUpperCased(const char* key,
                                const std::optional<std::vector<std::string>>& value);

  /// The body as one JSON object, or nothing when a value could not be written.
  std::optional<std::string> finish();

 private:
  // Starts the member `key` (a comma, the key and a colon); false when it is out of order.
  bool startMember(const char* key);
  void appendNumber(double value);
  void appendText(std::string_view text);
  void appendCoordinate(const Coordinate& value);

  std::string body_;
  const char* lastKey_ = nullptr;
  bool failed_ = false;
};

}  // namespace orvane::site::internal
