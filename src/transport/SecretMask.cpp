#include "transport/SecretMask.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "transport/RequestUrl.h"

namespace orvane::site::transport {
namespace {

constexpr std::string_view kMask = "***";

// Bytes that end the authority of a URL within running text.
bool endsAuthority(char c) {
  return c == '\0' ||
         std::string_view("/?#'\"<>`()[]{}|\\ \t\r\n").find(c) != std::string_view::npos;
}

}  // namespace

void maskSecrets(std::string& text, const std::vector<std::string>& secrets, std::size_t from) {
  std::vector<const std::string*> ordered;
  for (const std::string& secret : secrets) {
    if (!secret.empty()) ordered.push_back(&secret);
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const std::string* a, const std::string* b) {
    return a->size() > b->size();
  });
  for (const std::string* secret : ordered) {
    for (std::size_t at = text.find(*secret, from); at != std::string::npos;
         at = text.find(*secret, at + kMask.size())) {
      text.replace(at, secret->size(), kMask);
    }
  }
}

void appendMasked(std::string& out, std::string_view text, std::size_t limit,
                  const std::vector<std::string>& secrets) {
  limit = std::min(limit, text.size());
  struct Next {
    std::string_view secret;
    std::size_t at;
  };
  // Where each secret occurs next within the bytes shown (or starting in them).
  auto find = [text, limit](std::string_view secret, std::size_t from) {
    return text.substr(0, limit + secret.size() - 1).find(secret, from);
  };
  std::vector<Next> next;
  for (const std::string& secret : secrets) {
    if (!secret.empty()) next.push_back({secret, find(secret, 0)});
  }
  std::size_t at = 0;
  while (at < limit) {
    // The earliest occurrence that starts before `limit`; at one place the longest secret.
    const Next* first = nullptr;
    for (Next& candidate : next) {
      if (candidate.at != std::string_view::npos && candidate.at < at) {
        candidate.at = find(candidate.secret, at);
      }
      if (candidate.at == std::string_view::npos) continue;
      if (!first || candidate.at < first->at ||
          (candidate.at == first->at && candidate.secret.size() > first->secret.size())) {
        first = &candidate;
      }
    }
    if (!first) {
      out.append(text.substr(at, limit - at));
      return;
    }
    out.append(text.substr(at, first->at - at)).append(kMask);
    at = first->at + first->secret.size();
  }
}

void maskUrlCredentials(std::string& text) {
  for (std::size_t scheme = text.find("://"); scheme != std::string::npos;
       scheme = text.find("://", scheme + 3)) {
    const std::size_t start = scheme + 3;
    std::size_t end = start;
    std::size_t lastAt = std::string::npos;
    for (; end < text.size() && !endsAuthority(text[end]); ++end) {
      if (text[end] == '@') lastAt = end;
    }
    if (lastAt == std::string::npos || text.compare(start, lastAt - start, kMask) == 0) continue;
    text.replace(start, lastAt - start, kMask);
  }
}

namespace {

std::string percentEncodeAll(std::string_view text, const char* digits) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += digits[byte >> 4U];
      out += digits[byte & 0x0FU];
    }
  }
  return out;
}

void longestFirstUnique(std::vector<std::string>& secrets) {
  std::sort(secrets.begin(), secrets.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a < b;
  });
  secrets.erase(std::unique(secrets.begin(), secrets.end()), secrets.end());
  secrets.erase(std::remove(secrets.begin(), secrets.end(), std::string()), secrets.end());
}

}  // namespace

std::vector<std::string> keySecrets(const std::string& key) {
  if (key.empty()) return {};
  const std::string decoded = percentDecode(key);
  std::vector<std::string> secrets{key, decoded};
  for (const char* digits : {"0123456789ABCDEF", "0123456789abcdef"}) {
    secrets.push_back(percentEncodeAll(key, digits));
    secrets.push_back(percentEncodeAll(decoded, digits));
  }
  longestFirstUnique(secrets);
  return secrets;
}

std::vector<std::string> proxySecrets(const std::string& proxy) {
  std::vector<std::string> secrets;
  if (proxy.empty()) return secrets;
  secrets.push_back(proxy);
  const std::size_t scheme = proxy.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const std::size_t at = proxy.rfind('@');
  if (at != std::string::npos && at > start) {
    const std::string userInfo = proxy.substr(start, at - start);
    secrets.push_back(userInfo);
    secrets.push_back(percentDecode(userInfo));
    if (const std::size_t colon = userInfo.find(':'); colon != std::string::npos) {
      const std::string password = userInfo.substr(colon + 1);
      secrets.push_back(password);
      secrets.push_back(percentDecode(password));
    }
  }
  longestFirstUnique(secrets);
  return secrets;
}

}  // namespace orvane::site::transport
