#pragma once

#include <string>

#include "orvane/site/RedisRateLimiter.h"

namespace orvane::site::redis {

/// Throws std::invalid_argument("RedisRateLimiter: " + what).
[[noreturn]] void refuse(const std::string& what);
/// `value` as text, as short as it reads.
std::string number(double value);

/// Throws std::invalid_argument naming the first option of `options` that cannot work.
void checkOptions(const RedisRateLimiter::Options& options);

}  // namespace orvane::site::redis
