#pragma once

#include <map>
#include <optional>
#include <string>

namespace orvane::site::standin {

/// One request as the stand-in received it, kept so that tests can check what a client sent.
struct ReceivedRequest {
  std::string method;  ///< "POST", ...
  std::string path;    ///< decoded path, e.g. "/mapApi/v1/siteService/searchByText"
  std::string target;  ///< path and query exactly as on the request line
  std::multimap<std::string, std::string> query;    ///< decoded query parameters
  std::multimap<std::string, std::string> headers;  ///< header fields, names as sent
  std::string body;                                 ///< raw body bytes

  /// First value of the header field `name`, compared without regard to case.
  std::optional<std::string> header(const std::string& name) const;
  /// First value of the query parameter `name`.
  std::optional<std::string> queryValue(const std::string& name) const;
};

}  // namespace orvane::site::standin
