#include "cache/CacheStore.h"

#include <utility>

namespace orvane::site::internal {

CacheStore::CacheStore(ResponseCacheOptions options) : options_(std::move(options)) {}

CacheStore::Clock::time_point CacheStore::now() const {
  return options_.clock() ? options_.clock()() : Clock::now();
}

std::shared_ptr<const BaseResponse> CacheStore::find(const std::string& key) {
  const Clock::time_point at = now();
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  auto entry = found->second;
  if (at >= entry->expiresAt) {
    dropLocked(entry);
    return nullptr;
  }
  order_.splice(order_.begin(), order_, entry);
  return entry->reply;
}

std::vector<std::string> CacheStore::store(const std::string& key, std::string_view operation,
                                           std::shared_ptr<const BaseResponse> reply,
                                           std::size_t replyBytes,
                                           std::chrono::nanoseconds lifetime) {
  // A decoded record takes about a fifth more than its reply text (bench/cache): counted with
  // a quarter more, the bound errs on the safe side.
  const std::size_t bytes = key.size() + replyBytes + replyBytes / 4 + kEntryOverhead;
  const Clock::time_point expiresAt = now() + std::chrono::duration_cast<Clock::duration>(lifetime);
  std::vector<std::string> evicted;
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto found = index_.find(key); found != index_.end()) dropLocked(found->second);
  // Kept, it would only push out everything else and then itself.
  if (bytes > options_.maxBytes()) return evicted;
  while (bytes_ + bytes > options_.maxBytes() && !order_.empty()) {
    evicted.push_back(order_.back().operation);
    dropLocked(std::prev(order_.end()));
  }
  order_.push_front(Entry{key, std::string(operation), std::move(reply), bytes, expiresAt});
  index_.emplace(order_.front().key, order_.begin());
  bytes_ += bytes;
  return evicted;
}

void CacheStore::dropLocked(Order::iterator entry) {
  bytes_ -= entry->bytes;
  index_.erase(entry->key);
  order_.erase(entry);
}

std::size_t CacheStore::entryCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return order_.size();
}

std::size_t CacheStore::byteCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

void CacheStore::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  index_.clear();
  order_.clear();
  bytes_ = 0;
}

}  // namespace orvane::site::internal
