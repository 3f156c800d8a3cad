#include "orvane/site/internal/RequestMode.h"

namespace orvane::site {

std::string_view rawValue(RequestMode mode) noexcept {
  switch (mode) {
    case RequestMode::get:
      return "GET";
    case RequestMode::post:
      return "POST";
    case RequestMode::put:
      return "PUT";
    case RequestMode::delete_:
      return "DELETE";
  }
  return "GET";
}

std::optional<RequestMode> requestModeFromRawValue(std::string_view raw) noexcept {
  for (RequestMode mode :
       {RequestMode::get, RequestMode::post, RequestMode::put, RequestMode::delete_}) {
    if (rawValue(mode) == raw) return mode;
  }
  return std::nullopt;
}

}  // namespace orvane::site
