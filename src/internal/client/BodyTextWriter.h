#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site::internal {

/// Writes a request body as JSON text directly, byte for byte what BodyWriter's tree gives
/// when dumped (members in key order, numbers and escapes as the tree writes them), without
/// building the tree. Same put rules as BodyWriter.
///
/// A value the text cannot hold as given (a number that is not finite, text that is not UTF-8,
/// more members than it keeps) makes `finish` fail; the caller then takes the tree's path,
/// which names the problem.
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
  struct Member {
    const char* key;
    std::size_t begin;
    std::size_t end;
  };
  static constexpr std::size_t kMostMembers = 16;

  // Starts the member `key`; its value is appended to values_ until the next one starts.
  bool startMember(const char* key);
  void endMember();
  void appendNumber(double value);
  void appendText(std::string_view text);
  void appendCoordinate(const Coordinate& value);

  std::string values_;
  std::array<Member, kMostMembers> members_{};
  std::size_t memberCount_ = 0;
  bool failed_ = false;
};

}  // namespace orvane::site::internal
