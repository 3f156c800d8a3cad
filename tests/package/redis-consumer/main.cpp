// Links the Redis component from the installed package: bad settings are refused, and with no
// Redis to reach a permit still comes, from the local fallback.
#include <orvane/site/redis.h>

#include <chrono>
#include <future>
#include <stdexcept>

int main() {
  orvane::site::RedisRateLimiter::Options options;
  options.port = 1;  // nothing listens there
  options.quotaName = "consumer";
  options.permitsPerSecond = 10;
  try {
    orvane::site::RedisRateLimiter refused(options);  // no fallback rate
    return 1;
  } catch (const std::invalid_argument&) {
  }
  options.fallbackPermitsPerSecond = 10;
  orvane::site::RedisRateLimiter limiter(options);
  std::promise<void> granted;
  limiter.acquire([&](std::chrono::nanoseconds) { granted.set_value(); });
  return granted.get_future().wait_for(std::chrono::seconds(5)) == std::future_status::ready ? 0
                                                                                             : 1;
}
