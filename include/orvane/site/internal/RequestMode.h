#pragma once

#include <optional>
#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// The HTTP method of a call. Every operation uses `post`; `get` is the framework's default.
/// Equality and hashing are those of the enumeration.
enum class RequestMode { get, post, put, delete_ };

/// "GET", "POST", "PUT" or "DELETE".
ORVANE_SITE_EXPORT std::string_view rawValue(RequestMode mode) noexcept;

/// The mode whose raw value is exactly `raw` (case-sensitive), or nothing for any other text.
ORVANE_SITE_EXPORT std::optional<RequestMode> requestModeFromRawValue(
    std::string_view raw) noexcept;

}  // namespace orvane::site
