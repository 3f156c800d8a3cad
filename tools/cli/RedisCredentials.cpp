#include "RedisCredentials.h"

#include <cstdlib>
#include <fstream>

#include "ExitStatus.h"

namespace orvane::site::cli {

RedisCredentials redisCredentials(const std::optional<std::string>& passwordFile) {
  RedisCredentials credentials;
  if (const char* user = std::getenv("ORVANE_SITE_REDIS_USER")) credentials.user = user;
  if (passwordFile) {
    std::ifstream in(*passwordFile, std::ios::binary);
    if (!in) throw UsageError("--redis-password-file: cannot read " + *passwordFile);
    std::getline(in, credentials.password);
    if (!credentials.password.empty() && credentials.password.back() == '\r') {
      credentials.password.pop_back();
    }
    if (credentials.password.empty()) {
      throw UsageError("--redis-password-file: " + *passwordFile + " holds no password");
    }
  } else if (const char* password = std::getenv("ORVANE_SITE_REDIS_PASSWORD")) {
    credentials.password = password;
  }
  if (!credentials.user.empty() && credentials.password.empty()) {
    throw UsageError(
        "ORVANE_SITE_REDIS_USER needs a password: set ORVANE_SITE_REDIS_PASSWORD or give "
        "--redis-password-file");
  }
  return credentials;
}

}  // namespace orvane::site::cli
