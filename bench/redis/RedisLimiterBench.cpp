// Permits per second of RedisRateLimiter from one process and from four, and the time from
// acquire() to the grant, against the limiter's local bucket (the path its fallback takes) side
// by side. Starts its own redis-server on 127.0.0.1 (with the tests' helper).
//
// Usage: orvane-site-bench-redis [SECONDS_PER_FIGURE]   (default 3)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "orvane/site/LogSink.h"
#include "orvane/site/redis.h"
#include "support/RedisServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using orvane::site::RedisRateLimiter;

// A quota so large that no permit waits: what is measured is the limiter's own cost.
RedisRateLimiter::Options unlimited(int port, const std::string& quota) {
  RedisRateLimiter::Options options;
  options.port = port;
  options.quotaName = quota;
  options.permitsPerSecond = 1e6;
  options.burst = 1000000;
  options.fallbackPermitsPerSecond = 1e6;
  options.fallbackBurst = 1000000;
  options.requestTimeout = std::chrono::milliseconds(1000);
  return options;
}

// Keeps `inFlight` permit requests under way for `seconds`; returns the permits granted.
long long permitsWithin(RedisRateLimiter& limiter, int inFlight, double seconds) {
  std::mutex mutex;
  std::condition_variable freed;
  int open = 0;
  long long granted = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  std::unique_lock<std::mutex> lock(mutex);
  while (Clock::now() < end) {
    // A limiter that decides locally grants inside acquire(): check the time on every permit.
    while (open < inFlight && Clock::now() < end) {
      ++open;
      lock.unlock();
      limiter.acquire([&](std::chrono::nanoseconds) {
        std::lock_guard<std::mutex> guard(mutex);
        --open;
        ++granted;
        freed.notify_one();
      });
      lock.lock();
    }
    freed.wait(lock, [&] { return open < inFlight; });
  }
  freed.wait(lock, [&] { return open == 0; });
  return granted;
}

// Time from acquire() to the grant, one permit at a time: median and 99th percentile in us.
std::pair<double, double> latency(RedisRateLimiter& limiter, double seconds) {
  std::vector<double> micros;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    std::mutex mutex;
    std::condition_variable done;
    bool granted = false;
    const auto asked = Clock::now();
    Clock::time_point answered;
    limiter.acquire([&](std::chrono::nanoseconds) {
      std::lock_guard<std::mutex> guard(mutex);
      answered = Clock::now();
      granted = true;
      done.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return granted; });
    micros.push_back(std::chrono::duration<double, std::micro>(answered - asked).count());
  }
  std::sort(micros.begin(), micros.end());
  return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

void waitUntilShared(RedisRateLimiter& limiter) {
  permitsWithin(limiter, 1, 0.05);
  if (limiter.usingFallback()) {
    std::fprintf(stderr, "the limiter did not reach Redis\n");
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  orvane::site::setLogSink([](std::string_view) {});
  orvane::site::testkit::RedisServer server;
  const int port = server.port();

  // Four processes first, before this process starts any thread of its own.
  std::vector<pid_t> children;
  std::vector<int> pipes;
  for (int i = 0; i < 4; ++i) {
    int ends[2];
    if (pipe(ends) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
      close(ends[0]);
      RedisRateLimiter limiter(unlimited(port, "fleet"));
      waitUntilShared(limiter);
      const long long granted = permitsWithin(limiter, 64, seconds);
      const std::string text = std::to_string(granted);
      if (write(ends[1], text.data(), text.size()) < 0) _exit(1);
      _exit(0);
    }
    close(ends[1]);
    children.push_back(child);
    pipes.push_back(ends[0]);
  }
  long long fleet = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    char text[32] = {};
    if (read(pipes[i], text, sizeof(text) - 1) > 0) fleet += std::atoll(text);
    close(pipes[i]);
    int status = 0;
    waitpid(children[i], &status, 0);
  }

  RedisRateLimiter shared(unlimited(port, "alone"));
  waitUntilShared(shared);
  RedisRateLimiter::Options nowhere = unlimited(1, "local");  // nothing listens on port 1
  RedisRateLimiter local(nowhere);
  permitsWithin(local, 1, 0.3);  // until it has fallen back
  if (!local.usingFallback()) return 1;

  const double one = static_cast<double>(permitsWithin(shared, 1, seconds)) / seconds;
  const double many = static_cast<double>(permitsWithin(shared, 64, seconds)) / seconds;
  const auto [sharedMedian, sharedP99] = latency(shared, seconds);
  const double localRate = static_cast<double>(permitsWithin(local, 1, seconds)) / seconds;
  const auto [localMedian, localP99] = latency(local, seconds);

  std::printf("%-52s %12s %12s %12s\n", "", "permits/s", "median us", "p99 us");
  std::printf("%-52s %12.0f %12.1f %12.1f\n", "redis, one process, 1 in flight", one, sharedMedian,
              sharedP99);
  std::printf("%-52s %12.0f %12s %12s\n", "redis, one process, 64 in flight", many, "-", "-");
  std::printf("%-52s %12.0f %12s %12s\n", "redis, four processes, 64 in flight each",
              static_cast<double>(fleet) / seconds, "-", "-");
  std::printf("%-52s %12.0f %12.2f %12.2f\n", "local bucket (fallback path), 1 in flight",
              localRate, localMedian, localP99);
  std::printf("added latency per permit (median): %.1f us\n", sharedMedian - localMedian);
  return 0;
}
