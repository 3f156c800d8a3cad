#pragma once

#include <optional>
#include <string>

namespace orvane::site::cli {

/// The user and password for --redis. Never from the command line itself, where every user of
/// the machine can read them: the password comes from --redis-password-file (its first line)
/// or $ORVANE_SITE_REDIS_PASSWORD, the user from $ORVANE_SITE_REDIS_USER.
struct RedisCredentials {
  std::string user;
  std::string password;
};

/// Throws UsageError when the file cannot be read or a user is given without a password; the
/// message never holds the password.
RedisCredentials redisCredentials(const std::optional<std::string>& passwordFile);

}  // namespace orvane::site::cli
