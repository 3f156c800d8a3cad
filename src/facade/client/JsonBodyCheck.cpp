#include "facade/client/JsonBodyCheck.h"

#include <cmath>

#include "text/Utf8.h"

namespace orvane::site::internal {
namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

std::string childPath(const std::string& parent, const std::string& child) {
  return parent.empty() ? child : parent + "." + child;
}

// NOLINTNEXTLINE(misc-no-recursion): request bodies are shallow trees built by the library
std::optional<std::string> findInValue(const nlohmann::json& value, const std::string& path) {
  switch (value.type()) {
    case nlohmann::json::value_t::number_float: {
      const double number = value.get<double>();
      if (std::isnan(number)) return "invalid number value (NaN) at " + quoted(path);
      if (std::isinf(number)) return "invalid number value (infinity) at " + quoted(path);
      return std::nullopt;
    }
    case nlohmann::json::value_t::string:
      if (!text::isValidUtf8(value.get_ref<const std::string&>())) {
        return "text that is not UTF-8 at " + quoted(path);
      }
      return std::nullopt;
    case nlohmann::json::value_t::object:
      for (auto member = value.begin(); member != value.end(); ++member) {
        if (!text::isValidUtf8(member.key())) return "a key that is not UTF-8 in " + quoted(path);
        if (auto problem = findInValue(member.value(), childPath(path, member.key()))) {
          return problem;
        }
      }
      return std::nullopt;
    case nlohmann::json::value_t::array: {
      std::size_t index = 0;
      for (const nlohmann::json& element : value) {
        if (auto problem = findInValue(element, childPath(path, std::to_string(index++)))) {
          return problem;
        }
      }
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> findUnwritableJson(const nlohmann::json& body) {
  if (!body.is_object() && !body.is_array()) {
    return std::string("the top-level value is ") + body.type_name() +
           ", not an object or an array";
  }
  return findInValue(body, std::string());
}

}  // namespace orvane::site::internal
