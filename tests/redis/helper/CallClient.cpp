// One process of a fleet whose calls share a quota: makes COUNT calls one after another through
// a SiteClient whose rate limiter is a RedisRateLimiter, against the stand-in. Exits 0
// when every call succeeded.
//
// Usage: orvane-site-redis-call-client PORT QUOTA RATE BURST COUNT START_NS HOST CA_FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "orvane/site/ClientOptions.h"
#include "orvane/site/LogSink.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/redis.h"

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr, "usage: %s PORT QUOTA RATE BURST COUNT START_NS HOST CA_FILE\n", argv[0]);
    return 2;
  }
  using namespace std::chrono_literals;
  orvane::site::setLogSink([](std::string_view) {});
  orvane::site::RedisRateLimiter::Options limits;
  limits.port = std::atoi(argv[1]);
  limits.quotaName = argv[2];
  limits.permitsPerSecond = std::atof(argv[3]);
  limits.burst = static_cast<std::size_t>(std::atoi(argv[4]));
  limits.fallbackPermitsPerSecond = limits.permitsPerSecond / 4;
  limits.requestTimeout = 1000ms;
  const int count = std::atoi(argv[5]);
  const std::chrono::steady_clock::time_point start{std::chrono::nanoseconds(std::atoll(argv[6]))};

  orvane::site::CurlTransportOptions trust;
  trust.caInfoFile = argv[8];
  orvane::site::ClientOptions options;
  options.setApiKey("standin-demo-key")
      .setHost(argv[7])
      .setTransport(std::make_shared<orvane::site::CurlTransport>(trust))
      // A kept connection the server closed fails an attempt; the retry takes a permit too.
      .setRetryPolicy(orvane::site::RetryPolicy().setMaxAttempts(3))
      .setAttemptTimeout(30s)
      .setDeadline(60s)
      .setRateLimiter(std::make_shared<orvane::site::RedisRateLimiter>(limits));
  orvane::site::SiteClient client(options);

  std::this_thread::sleep_until(start);
  for (int i = 0; i < count; ++i) {
    auto result = client
                      .timezone(orvane::site::TimezoneRequest(orvane::site::Coordinate(48.85, 2.35),
                                                              1700000000, "en"))
                      .get();
    if (!result.ok()) {
      std::fprintf(stderr, "call %d failed: %s\n", i, result.error().localizedDescription.c_str());
      return 1;
    }
  }
  return 0;
}
