#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace orvane::site::internal {

/// Says why `body` cannot be written as a JSON request body, or nothing when it can. A body
/// must be an object or an array; every number finite; every text and key UTF-8. The reason
/// names the offending place by its key path ("location.lat"), never by its value.
std::optional<std::string> findUnwritableJson(const nlohmann::json& body);

}  // namespace orvane::site::internal
