#pragma once

#include <atomic>
#include <cstddef>

namespace orvane::site::transport {

/// The reply bytes that the transfers of one transport may hold at once, so that many large
/// replies arriving together cannot take all memory. Thread-safe.
class ReplyBudget {
 public:
  /// `limit` 0: no limit.
  explicit ReplyBudget(std::size_t limit) noexcept : limit_(limit) {}

  /// Takes `bytes` from the budget; false (and nothing taken) when they do not fit.
  bool take(std::size_t bytes) noexcept;
  /// Gives back bytes taken before.
  void give(std::size_t bytes) noexcept;

  std::size_t limit() const noexcept { return limit_; }
  std::size_t held() const noexcept { return held_.load(); }

 private:
  const std::size_t limit_;
  std::atomic<std::size_t> held_{0};
};

}  // namespace orvane::site::transport
