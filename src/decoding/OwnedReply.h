#pragma once

#include <string>

#include "orvane/site/Result.h"

namespace orvane::site::decoding {

/// True when `body`'s spare capacity holds the padding the parser reads past the text.
bool hasParserPadding(const std::string& body) noexcept;

/// Decodes a reply the library holds itself (BaseResponse and the eight operation responses),
/// as decode<T> does, but reads it in place when its spare capacity holds the parser's
/// padding, rather than copying it first. Transports reserve that padding.
template <class T>
Result<T> decodeOwnedReply(const std::string& body) noexcept;

}  // namespace orvane::site::decoding
