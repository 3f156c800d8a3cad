#include "decoding/RecordBlock.h"

#include <mutex>
#include <new>
#include <vector>

#include "decoding/SanitizerMarks.h"

namespace orvane::site::decoding {
namespace {

// Blocks of the usual size are kept for the next decode instead of going back to malloc. A block
// is far above the sizes malloc keeps in its fast per-thread caches, and every such allocation
// makes glibc first merge all small chunks freed since the last one, which slows the thousand
// small allocations of the decode that follows.
class SpareBlocks {
 public:
  // At most 512 KiB kept: the records of a few ordinary replies.
  static constexpr std::size_t kMaxSpare = 64;

  void* take(std::size_t bytes) {
    if (bytes != RecordBlock::kUsualSize) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return nullptr;
    void* memory = spare_.back();
    spare_.pop_back();
    return memory;
  }

  bool keep(void* memory, std::size_t bytes) noexcept {
    if (bytes != RecordBlock::kUsualSize) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() >= kMaxSpare) return false;
    spare_.push_back(memory);  // never reallocates: capacity reserved up front
    return true;
  }

  static SpareBlocks& instance() {
    static auto* const blocks = new SpareBlocks();  // never destroyed: used by any thread
    return *blocks;
  }

 private:
  SpareBlocks() { spare_.reserve(kMaxSpare); }

  std::mutex mutex_;
  std::vector<void*> spare_;
};

}  // namespace

RecordBlock* RecordBlock::open(std::size_t capacity) {
  void* memory = SpareBlocks::instance().take(capacity);
  if (memory == nullptr) {
    memory = ::operator new(headerSize() + capacity);
  } else {
    markUsable(memory, headerSize() + capacity);
  }
  auto* block = new (memory) RecordBlock(capacity);
  markUnusable(block->storage(), capacity);  // take() opens each record's range
  return block;
}

void RecordBlock::close() noexcept {
  const std::size_t settle = kOpenBias - issued_;
  if (references_.fetch_sub(settle, std::memory_order_acq_rel) == settle) destroy();
}

void RecordBlock::destroy() noexcept {
  const std::size_t capacity = capacity_;
  this->~RecordBlock();
  void* memory = this;
  // Marked before it is kept: once kept, another thread may take it at once.
  markUnusable(memory, headerSize() + capacity);
  if (!SpareBlocks::instance().keep(memory, capacity)) {
    markUsable(memory, headerSize() + capacity);
    ::operator delete(memory);
  }
}

}  // namespace orvane::site::decoding
