#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::site::internal::text {

/// Reads one Unicode scalar value at `text[pos]`. On success stores it in `scalar`, advances
/// `pos` past it and returns true. A byte that does not start a well-formed sequence (stray
/// continuation byte, truncated or overlong sequence, surrogate, value above U+10FFFF) leaves
/// `pos` unchanged and returns false.
bool readScalar(std::string_view text, std::size_t& pos, char32_t& scalar) noexcept;

/// Appends the UTF-8 form of `scalar` (a valid Unicode scalar value) to `out`.
void appendScalar(std::string& out, char32_t scalar);

/// True when the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view text) noexcept;

/// The number of scalar values in `text`; each malformed byte counts as one.
std::size_t countScalars(std::string_view text) noexcept;

}  // namespace orvane::site::internal::text
