#include "decoding/DecodeFailure.h"

#include <utility>

#include "orvane/site/ErrorDomain.h"

namespace orvane::site::decoding {
namespace {

std::string localizedDescriptionFor(DecodingErrorCode code) {
  switch (code) {
    case DecodingErrorCode::keyNotFound:
    case DecodingErrorCode::valueNotFound:
      return "The data couldn't be read because it is missing.";
    case DecodingErrorCode::typeMismatch:
    case DecodingErrorCode::dataCorrupted:
      break;
  }
  return "The data couldn't be read because it isn't in the correct format.";
}

}  // namespace

void DecodeFailure::fail(DecodingErrorCode code, std::string debugDescription) {
  code_ = code;
  debugDescription_ = std::move(debugDescription);
  reversedPath_.clear();
}

void DecodeFailure::prependKey(std::string_view key) { reversedPath_.emplace_back(key); }

void DecodeFailure::prependIndex(std::size_t index) {
  reversedPath_.push_back(std::to_string(index));
}

std::string DecodeFailure::codingPath() const {
  std::string path;
  for (auto part = reversedPath_.rbegin(); part != reversedPath_.rend(); ++part) {
    if (!path.empty()) path += '.';
    path += *part;
  }
  return path;
}

Error DecodeFailure::toError() const {
  Error error = makeDecodingError(code_, debugDescription_);
  error.userInfo["codingPath"] = codingPath();
  return error;
}

Error makeDecodingError(DecodingErrorCode code, std::string debugDescription) {
  Error error;
  error.domain = std::string(ErrorDomain::decodingError);
  error.code = static_cast<std::int64_t>(code);
  error.localizedDescription = localizedDescriptionFor(code);
  error.userInfo["codingPath"] = "";
  error.userInfo["debugDescription"] = std::move(debugDescription);
  return error;
}

}  // namespace orvane::site::decoding
