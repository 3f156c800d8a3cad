#include "support/ImmediateTransport.h"

#include <cstddef>
#include <utility>

namespace orvane::site::bench {
namespace {

constexpr std::size_t kDecoderPadding = 64;  // simdjson::SIMDJSON_PADDING

}  // namespace

ImmediateTransport::ImmediateTransport(std::string replyBody, bool keepLastRequest)
    : replyBody_(std::move(replyBody)), keepLastRequest_(keepLastRequest) {}

void ImmediateTransport::send(HttpRequest request, Completion completion) {
  if (keepLastRequest_) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastRequest_ = std::move(request);
  }
  // Any transport hands over a body it owns, so the copy of the reply is part of the answer.
  // Like the curl transport's, the copy has room for the decoder's padding after the text.
  enqueue([this, completion = std::move(completion)]() mutable {
    HttpOutcome outcome;
    outcome.statusCode = 200;
    outcome.body.reserve(replyBody_.size() + kDecoderPadding);
    outcome.body.assign(replyBody_);
    completion(std::move(outcome));
  });
}

void ImmediateTransport::runAfter(std::chrono::nanoseconds, Task task) { enqueue(std::move(task)); }

void ImmediateTransport::post(Task task) { enqueue(std::move(task)); }

std::size_t ImmediateTransport::drain() {
  std::size_t ran = 0;
  for (;;) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return ran;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
    ++ran;
  }
}

std::optional<HttpRequest> ImmediateTransport::lastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequest_;
}

void ImmediateTransport::enqueue(Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(task));
}

}  // namespace orvane::site::bench
