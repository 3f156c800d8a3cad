#pragma once

#include <optional>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// The envelope of every reply of the service, and the base of the eight response records.
///
/// `returnCode` and `returnDesc` are read from the reply's top-level object, beside the
/// operation's own members, exactly as received (the library does not interpret the code).
/// Decode one with `decode<BaseResponse>(json)` (see decode.h). Plain data: not thread-safe
/// for concurrent writes, safe to read from several threads.
class ORVANE_SITE_EXPORT BaseResponse {
 public:
  BaseResponse() = default;
  /// Copies the envelope values.
  BaseResponse(const BaseResponse&) = default;
  /// Moves the envelope values.
  BaseResponse(BaseResponse&&) = default;
  /// Copies the envelope values.
  BaseResponse& operator=(const BaseResponse&) = default;
  /// Moves the envelope values.
  BaseResponse& operator=(BaseResponse&&) = default;
  virtual ~BaseResponse() = default;

  /// The service's return code ("returnCode"), absent when the reply has none or null.
  std::optional<std::string> returnCode;
  /// The service's return description ("returnDesc"), absent when the reply has none or null.
  std::optional<std::string> returnDesc;
};

}  // namespace orvane::site
