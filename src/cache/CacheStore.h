#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvane/site/ResponseCacheOptions.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site::internal {

/// The entries of one ResponseCache: decoded replies by key, least recently used first out,
/// bounded by bytes. Thread-safe: one short lock per lookup or store.
class CacheStore {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CacheStore(ResponseCacheOptions options);

  const ResponseCacheOptions& options() const noexcept { return options_; }
  Clock::time_point now() const;

  /// The fresh reply kept under `key`, else null (an expired entry is dropped on the way).
  std::shared_ptr<const BaseResponse> find(const std::string& key);

  /// Keeps `reply` under `key` for `lifetime`, counted from its reply text of `replyBytes`; returns
  /// the operations of the entries evicted to make room, oldest first.
  std::vector<std::string> store(const std::string& key, std::string_view operation,
                                 std::shared_ptr<const BaseResponse> reply, std::size_t replyBytes,
                                 std::chrono::nanoseconds lifetime);

  std::size_t entryCount() const;
  std::size_t byteCount() const;
  void clear();

  /// What an entry costs beyond its key and reply text: the list node, the index node and the
  /// decoded record's own bookkeeping, as measured by bench/cache.
  static constexpr std::size_t kEntryOverhead = 320;

 private:
  struct Entry {
    std::string key;
    std::string operation;
    std::shared_ptr<const BaseResponse> reply;
    std::size_t bytes = 0;
    Clock::time_point expiresAt;
  };
  using Order = std::list<Entry>;

  void dropLocked(Order::iterator entry);

  const ResponseCacheOptions options_;
  mutable std::mutex mutex_;
  Order order_;                                                  // most recently used first
  std::unordered_map<std::string_view, Order::iterator> index_;  // views into order_'s keys
  std::size_t bytes_ = 0;
};

}  // namespace orvane::site::internal
