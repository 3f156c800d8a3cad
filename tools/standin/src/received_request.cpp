#include "orvane/site/standin/received_request.h"

#include <strings.h>

namespace orvane::site::standin {

std::optional<std::string> ReceivedRequest::header(const std::string& name) const {
  for (const auto& [field, value] : headers) {
    if (strcasecmp(field.c_str(), name.c_str()) == 0) return value;
  }
  return std::nullopt;
}

std::optional<std::string> ReceivedRequest::queryValue(const std::string& name) const {
  auto found = query.find(name);
  if (found == query.end()) return std::nullopt;
  return found->second;
}

}  // namespace orvane::site::standin
