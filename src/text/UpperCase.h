#pragma once

#include <string>
#include <string_view>

namespace orvane::site::internal::text {

/// Upper-cases UTF-8 text with Unicode's default, locale-independent full case mapping:
/// "ç" becomes "Ç", "ß" becomes "SS", "ŉ" becomes "ʼN", "i" always becomes "I". Bytes that are
/// not well-formed UTF-8 are copied unchanged, so no input is lost or rejected.
std::string toUpperCase(std::string_view text);

/// The full upper-case mapping of one scalar value, appended to `out` as UTF-8.
void appendUpperCase(std::string& out, char32_t scalar);

}  // namespace orvane::site::internal::text
