#include "transport/RequestUrl.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>

#include "orvane/site/TransportErrorCode.h"

namespace orvane::site::transport {
namespace {

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool isUnreserved(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool isPathByte(char c) {
  return isUnreserved(c) || std::string_view("!$&'()*+,;=:@/").find(c) != std::string_view::npos;
}

bool isPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 65535;
}

std::string position(std::size_t index) { return "character " + std::to_string(index + 1); }

struct UrlHandle {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

// The query of the call, or the error naming the parameter that cannot be sent.
std::variant<std::string, Error> formQuery(const std::map<std::string, std::string>& params) {
  std::string query;
  for (const auto& [name, value] : params) {
    const bool isKey = name == "key";
    if (auto problem = queryTextProblem(name)) {
      return makeTransportError(TransportErrorCode::invalidUrl, std::nullopt,
                                "query parameter name: " + *problem);
    }
    if (auto problem = queryTextProblem(value)) {
      if (isKey) {
        return makeTransportError(TransportErrorCode::invalidApiKey, std::nullopt,
                                  "the API key cannot be sent in a URL query: " + *problem);
      }
      return makeTransportError(TransportErrorCode::invalidUrl, std::nullopt,
                                "value of query parameter \"" + name + "\": " + *problem);
    }
    if (!query.empty()) query.push_back('&');
    query.append(name).append("=").append(value);
  }
  return query;
}

// The given URL with the query replaced, or nothing when it is not an https URL that parses.
std::optional<std::string> overrideUrl(const std::string& url,
                                       const std::optional<std::string>& query) {
  std::unique_ptr<CURLU, UrlHandle> handle(curl_url());
  if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  char* scheme = nullptr;
  if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return std::nullopt;
  const bool https = std::strcmp(scheme, "https") == 0;
  curl_free(scheme);
  if (!https) return std::nullopt;
  if (query) {
    curl_url_set(handle.get(), CURLUPART_QUERY, query->empty() ? nullptr : query->c_str(), 0);
  }
  curl_url_set(handle.get(), CURLUPART_FRAGMENT, nullptr, 0);
  char* text = nullptr;
  if (curl_url_get(handle.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return std::nullopt;
  std::string result(text);
  curl_free(text);
  return result;
}

}  // namespace

std::optional<std::string> queryTextProblem(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '%') {
      if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
        return position(i) + " is a '%' without two hexadecimal digits after it";
      }
      i += 2;
      continue;
    }
    if (isUnreserved(c) || std::string_view("!$'()*+,;:@/?").find(c) != std::string_view::npos)
      continue;
    if (c == '&') return position(i) + " is '&', which would start another query parameter";
    if (c == '=') return position(i) + " is '=', which would change the query parameter";
    if (c == '#') return position(i) + " is '#', which would end the query";
    if (c == ' ') return position(i) + " is a space";
    if (byte < 0x20 || byte == 0x7f) return position(i) + " is a control character";
    if (byte >= 0x80) return position(i) + " is not ASCII";
    return position(i) + " is '" + std::string(1, c) + "', which a URL query may not hold";
  }
  return std::nullopt;
}

bool isValidAuthority(std::string_view authority) {
  std::string_view host = authority;
  std::string_view port;
  bool hasPort = false;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    for (char c : authority.substr(1, close - 1)) {
      if (!isHexDigit(c) && c != ':' && c != '.') return false;
    }
    std::string_view rest = authority.substr(close + 1);
    if (rest.empty()) return true;
    return rest.front() == ':' && isPort(rest.substr(1));
  }
  const std::size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    hasPort = true;
  }
  if (host.empty() || host.front() == '.' || host.front() == '-') return false;
  for (char c : host) {
    if (!isUnreserved(c)) return false;
  }
  return !hasPort || isPort(port);
}

std::string encodePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (char c : path) {
    if (isPathByte(c)) {
      encoded.push_back(c);
    } else {
      const auto byte = static_cast<unsigned char>(c);
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0x0f]);
    }
  }
  return encoded;
}

std::string maskApiKey(std::string_view url) {
  const std::size_t questionMark = url.find('?');
  if (questionMark == std::string_view::npos) return std::string(url);
  std::size_t end = url.find('#', questionMark);
  if (end == std::string_view::npos) end = url.size();

  std::string masked(url.substr(0, questionMark + 1));
  std::size_t start = questionMark + 1;
  while (start <= end) {
    std::size_t itemEnd = url.find('&', start);
    if (itemEnd == std::string_view::npos || itemEnd > end) itemEnd = end;
    const std::string_view item = url.substr(start, itemEnd - start);
    const std::size_t equals = item.find('=');
    if (equals != std::string_view::npos && item.substr(0, equals) == "key" &&
        equals + 1 < item.size()) {
      masked.append("key=***");
    } else {
      masked.append(item);
    }
    if (itemEnd < end) masked.push_back('&');
    start = itemEnd + 1;
  }
  masked.append(url.substr(end));
  return masked;
}

std::string percentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) &&
        isHexDigit(text[i + 2])) {
      decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::variant<RequestUrl, Error> formRequestUrl(
    const std::optional<std::string>& url, const std::string& baseUrl, const std::string& path,
    const std::optional<std::map<std::string, std::string>>& params) {
  std::optional<std::string> query;
  if (params) {
    auto formed = formQuery(*params);
    if (auto* error = std::get_if<Error>(&formed)) return std::move(*error);
    query = std::move(std::get<std::string>(formed));
  }

  std::optional<std::string> address;
  if (url) address = overrideUrl(*url, query);
  if (!address) {
    if (!isValidAuthority(baseUrl)) {
      return makeTransportError(TransportErrorCode::invalidUrl, std::nullopt,
                                baseUrl.empty() ? "the host is empty"
                                                : "the host is not a valid host name, IP "
                                                  "address or host:port");
    }
    address = "https://" + baseUrl + "/" + encodePath(path);
    if (query && !query->empty()) address->append("?").append(*query);
  }
  RequestUrl result;
  result.maskedUrl = maskApiKey(*address);
  result.url = std::move(*address);
  return result;
}

}  // namespace orvane::site::transport
