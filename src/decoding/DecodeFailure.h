#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/site/DecodingErrorCode.h"
#include "orvane/site/Error.h"

namespace orvane::site::decoding {

/// What went wrong in a decode, filled only on the failure path.
///
/// Readers report a fault with fail(); each enclosing reader then prepends its own key or array
/// position while the failure travels back up, so a successful decode never builds a path.
class DecodeFailure {
 public:
  void fail(DecodingErrorCode code, std::string debugDescription);
  void prependKey(std::string_view key);
  void prependIndex(std::size_t index);

  DecodingErrorCode code() const noexcept { return code_; }
  /// The key path from the root, keys and positions joined by ".".
  std::string codingPath() const;
  Error toError() const;

 private:
  DecodingErrorCode code_ = DecodingErrorCode::dataCorrupted;
  std::string debugDescription_;
  std::vector<std::string> reversedPath_;
};

/// Builds the Error of a failure that happened outside any reader (for example no memory left).
Error makeDecodingError(DecodingErrorCode code, std::string debugDescription);

}  // namespace orvane::site::decoding
