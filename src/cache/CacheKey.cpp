#include "cache/CacheKey.h"

#include <openssl/evp.h>

#include <array>

namespace orvane::site::internal {

std::string clientScope(const std::string& host, const std::string& apiKey) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(apiKey.data(), apiKey.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
      1) {
    length = 0;  // no digest: the client keeps no entries (see OperationCache)
  }
  std::string scope = host;
  scope.push_back('\n');
  scope.append(reinterpret_cast<const char*>(digest.data()), length);
  return length == 0 ? std::string() : scope;
}

std::string cacheKey(std::string_view operation, const std::string& scope,
                     const std::string& body) {
  std::string key;
  key.reserve(operation.size() + scope.size() + body.size() + 2);
  key.append(operation).append(1, '\n').append(scope).append(1, '\n').append(body);
  return key;
}

}  // namespace orvane::site::internal
