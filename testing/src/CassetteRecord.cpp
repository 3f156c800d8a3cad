#include "CassetteRecord.h"

#include <map>

namespace orvane::site::testkit::cassette {
namespace {

std::string lastPart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The last part of each operation's path, mapped to the operation's name, from the list the
// library itself builds its requests from.
const std::map<std::string, std::string>& operationsByLastPart() {
  static const std::map<std::string, std::string> operations{
#define ORVANE_SITE_OPERATION(name, Stem, underApiPath, path) {lastPart(path), #name},
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION
  };
  return operations;
}

}  // namespace

std::string pathOf(const std::string& url) {
  const auto scheme = url.find("://");
  const auto hostStart = scheme == std::string::npos ? 0 : scheme + 3;
  const auto pathStart = url.find('/', hostStart);
  if (pathStart == std::string::npos) return "/";
  const auto queryStart = url.find_first_of("?#", pathStart);
  return url.substr(pathStart,
                    queryStart == std::string::npos ? std::string::npos : queryStart - pathStart);
}

std::string operationOf(const std::string& path) {
  const std::string last = lastPart(path);
  const auto& operations = operationsByLastPart();
  const auto found = operations.find(last);
  return found == operations.end() ? last : found->second;
}

nlohmann::json requestBody(const std::optional<std::string>& body) {
  if (!body) return nullptr;
  nlohmann::json parsed = nlohmann::json::parse(*body, nullptr, false);
  return parsed.is_discarded() ? nlohmann::json(*body) : parsed;
}

std::string failureName(HttpOutcome::Failure failure) {
  switch (failure) {
    case HttpOutcome::Failure::none:
      return "none";
    case HttpOutcome::Failure::connectionFailed:
      return "connectionFailed";
    case HttpOutcome::Failure::timedOut:
      return "timedOut";
    case HttpOutcome::Failure::tlsFailure:
      return "tlsFailure";
    case HttpOutcome::Failure::otherFailure:
      break;
  }
  return "otherFailure";
}

std::optional<HttpOutcome::Failure> failureNamed(const std::string& name) {
  static const std::map<std::string, HttpOutcome::Failure> failures{
      {"connectionFailed", HttpOutcome::Failure::connectionFailed},
      {"reset", HttpOutcome::Failure::connectionFailed},
      {"timedOut", HttpOutcome::Failure::timedOut},
      {"timeout", HttpOutcome::Failure::timedOut},
      {"tlsFailure", HttpOutcome::Failure::tlsFailure},
      {"otherFailure", HttpOutcome::Failure::otherFailure},
  };
  const auto found = failures.find(name);
  if (found == failures.end()) return std::nullopt;
  return found->second;
}

}  // namespace orvane::site::testkit::cassette
