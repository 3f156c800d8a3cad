#include "OptionChecks.h"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>

namespace orvane::site::redis {

[[noreturn]] void refuse(const std::string& what) {
  throw std::invalid_argument("RedisRateLimiter: " + what);
}

std::string number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

namespace {

// One permit per microsecond is as fine as the shared bucket counts.
constexpr double kMaxRate = 1e6;

void checkRate(double rate, const char* name) {
  if (!std::isfinite(rate) || rate <= 0.0) {
    refuse(std::string(name) + " must be positive, got " + number(rate));
  }
  if (rate > kMaxRate) {
    refuse(std::string(name) + " must be at most 1000000 per second, got " + number(rate));
  }
}

}  // namespace

void checkOptions(const RedisRateLimiter::Options& options) {
  if (options.quotaName.empty()) refuse("the quota name is empty");
  checkRate(options.permitsPerSecond, "permitsPerSecond");
  if (options.burst == 0) refuse("burst must be at least 1");
  checkRate(options.fallbackPermitsPerSecond, "fallbackPermitsPerSecond");
  if (options.fallbackBurst == 0) refuse("fallbackBurst must be at least 1");
  if (options.unixSocket.empty()) {
    if (options.host.empty()) refuse("neither a host nor a Unix socket is given");
    if (options.port <= 0 || options.port > 65535) {
      refuse("port must be within 1-65535, got " + std::to_string(options.port));
    }
  }
  if (!options.user.empty() && options.password.empty()) {
    refuse("an ACL user needs a password");
  }
  if (options.database < 0) refuse("database must not be negative");
  if (options.requestTimeout.count() <= 0) refuse("requestTimeout must be positive");
  if (options.connectTimeout.count() <= 0) refuse("connectTimeout must be positive");
  if (options.reconnectBackoff.count() <= 0) refuse("reconnectBackoff must be positive");
  if (options.longestSlowDown.count() < 0) refuse("longestSlowDown must not be negative");
  if (options.reconnectBackoffMax < options.reconnectBackoff) {
    refuse("reconnectBackoffMax must not be shorter than reconnectBackoff");
  }
}

}  // namespace orvane::site::redis
