#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "orvane/site/Error.h"

namespace orvane::site::transport {

/// The address of one call in its wire form, and the same address with the API key hidden.
struct RequestUrl {
  std::string url;
  std::string maskedUrl;
};

/// Forms the address of a call. A present `url` that parses as an "https" URL is the base;
/// otherwise "https://" + `baseUrl` + "/" + `path` (characters a path may not hold are
/// percent-encoded). Present `params` then become the query, "name=value" joined by "&" in
/// map order, each text as given. Returns the TransportError (invalidUrl, or invalidApiKey for
/// the "key" parameter) when no address can be formed.
std::variant<RequestUrl, Error> formRequestUrl(
    const std::optional<std::string>& url, const std::string& baseUrl, const std::string& path,
    const std::optional<std::map<std::string, std::string>>& params);

/// Why `text` cannot stand as a query name or value as given, or nothing when it can. Letters,
/// digits, "-._~!$'()*+,;:@/?" and percent escapes stand; "&" and "=" would add or change a
/// parameter, so they do not. The reason names the position, never the text.
std::optional<std::string> queryTextProblem(std::string_view text);

/// True for "host", "host:port", an IPv4 address or "[IPv6]" with an optional port.
bool isValidAuthority(std::string_view authority);

/// `path` with every byte that a URL path may not hold percent-encoded ("%" included).
std::string encodePath(std::string_view path);

/// `url` with the value of every "key" query parameter replaced by "***" (an empty value stays
/// empty, which shows that no key was sent).
std::string maskApiKey(std::string_view url);

/// `text` with each "%" and two hexadecimal digits replaced by the byte they stand for.
std::string percentDecode(std::string_view text);

}  // namespace orvane::site::transport
