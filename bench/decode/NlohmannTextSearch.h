#pragma once

#include <memory>
#include <string_view>

#include "orvane/site/responses/TextSearchResponse.h"

namespace orvane::site::bench {

/// What an application would write without the library: parse the reply with nlohmann::json and
/// copy every field the library decodes into the same records. Throws nlohmann::json::exception
/// on malformed JSON or a value of the wrong kind, as such application code usually does.
std::shared_ptr<TextSearchResponse> decodeTextSearchWithNlohmann(std::string_view json);

}  // namespace orvane::site::bench
