#include "https/LibraryDriver.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/SiteClient.h"
#include "support/ProcessStats.h"

namespace orvane::site::bench {
namespace {

// Reading /proc costs a few microseconds, so thread counts are sampled, not taken every call.
constexpr std::size_t kThreadSampleEvery = 256;
// Every call ends within its 60-second time-out; a longer silence means handlers were lost.
constexpr auto kSilenceLimit = std::chrono::seconds(90);

}  // namespace

std::size_t LibraryDriver::run(std::size_t calls) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = 0;
  }
  for (std::size_t i = 0; i < calls; ++i) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!waitUntil(lock, [this] { return active_ < inFlight_; })) return failed_ + calls - i;
      ++active_;
    }
    startCall();
    if (i % kThreadSampleEvery == kThreadSampleEvery / 2) {
      peakThreads_ = std::max(peakThreads_, threadCount());
    }
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!waitUntil(lock, [this] { return active_ == 0; })) return failed_ + active_;
  peakThreads_ = std::max(peakThreads_, threadCount());
  return failed_;
}

void LibraryDriver::startCall() {
  if (optionClient_) {
    optionClient_->textSearch(
        request_, CallOptions(), [self = shared_from_this()](Result<TextSearchResponse> result) {
          self->finished(result.value(), result.ok() ? nullptr : &result.error());
        });
    return;
  }
  SiteClient::shared().textSearch(
      request_, nullptr,
      [self = shared_from_this()](std::shared_ptr<TextSearchResponse> response,
                                  std::optional<Error> error) {
        self->finished(response, error ? &*error : nullptr);
      });
}

bool LibraryDriver::waitUntil(std::unique_lock<std::mutex>& lock,
                              const std::function<bool()>& done) {
  while (!done()) {
    const std::size_t before = completed_;
    if (!changed_.wait_for(lock, kSilenceLimit, done) && completed_ == before) {
      if (firstFailure_.empty()) {
        firstFailure_ = std::to_string(active_) + " calls got no handler call within " +
                        std::to_string(kSilenceLimit.count()) + " s";
      }
      return false;
    }
  }
  return true;
}

std::string LibraryDriver::firstFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  return firstFailure_;
}

void LibraryDriver::finished(const std::shared_ptr<TextSearchResponse>& response,
                             const Error* error) {
  std::unique_lock<std::mutex> lock(mutex_);
  --active_;
  ++completed_;
  if (!response || error) {
    ++failed_;
    if (firstFailure_.empty()) {
      firstFailure_ = error ? error->domain + " " + std::to_string(error->code) + ": " +
                                  error->localizedDescription
                            : "no response and no error";
      if (error) {
        for (const auto& [key, value] : error->userInfo) firstFailure_ += "; " + key + "=" + value;
      }
    }
  }
  // Told after the lock is let go: the woken thread would otherwise at once wait for it.
  lock.unlock();
  changed_.notify_one();
}

}  // namespace orvane::site::bench
