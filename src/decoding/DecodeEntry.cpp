#include "decoding/DecodeEntry.h"

namespace orvane::site::decoding {

Error outOfMemoryError() {
  return makeDecodingError(DecodingErrorCode::dataCorrupted,
                           "The reply could not be decoded: not enough memory.");
}

}  // namespace orvane::site::decoding
