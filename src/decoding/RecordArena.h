#pragma once

#include <cstddef>
#include <memory>

#include "decoding/RecordBlock.h"

namespace orvane::site::decoding {

/// Places the shared records of one decode (sites, addresses, opening hours, periods...) in
/// shared blocks of a few KiB instead of one heap allocation each.
///
/// A reply of twenty sites holds about five hundred such records; allocating them one by one
/// costs more than parsing the reply. Each record still has its own reference count and dies on
/// its own, so an application keeping one record keeps at most the block around it.
///
/// Lives on the stack of one decode; while it lives, records made on its thread use it.
class RecordArena {
 public:
  RecordArena() noexcept;
  ~RecordArena();
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;

  /// The arena of the decode running on this thread, or nullptr.
  static RecordArena* current() noexcept;

  /// An open block with room for `bytes`, opening a new one when needed. Throws std::bad_alloc.
  RecordBlock& blockFor(std::size_t bytes);

 private:
  RecordArena* previous_;
  RecordBlock* open_ = nullptr;
};

/// Allocates one record (with its shared count) from a block that has room for it.
template <class T>
class RecordAllocator {
 public:
  using value_type = T;

  explicit RecordAllocator(RecordBlock& block) noexcept : block_(&block) {}
  template <class U>
  RecordAllocator(const RecordAllocator<U>& other) noexcept : block_(other.block()) {}

  T* allocate(std::size_t count) { return static_cast<T*>(block_->take(count * sizeof(T))); }
  void deallocate(T* record, std::size_t count) noexcept {
    block_->release(record, count * sizeof(T));
  }

  RecordBlock* block() const noexcept { return block_; }

  template <class U>
  bool operator==(const RecordAllocator<U>& other) const noexcept {
    return block_ == other.block();
  }
  template <class U>
  bool operator!=(const RecordAllocator<U>& other) const noexcept {
    return block_ != other.block();
  }

 private:
  RecordBlock* block_;
};

/// A new, empty record held by std::shared_ptr: from the current arena when a decode is running
/// on this thread, from the heap otherwise.
template <class T>
std::shared_ptr<T> makeRecord() {
  // Room for the record and std::shared_ptr's count, deleter slot and allocator beside it.
  constexpr std::size_t kSharedOverhead = 64;
  RecordArena* arena = RecordArena::current();
  if (arena == nullptr) return std::make_shared<T>();
  return std::allocate_shared<T>(RecordAllocator<T>(arena->blockFor(sizeof(T) + kSharedOverhead)));
}

}  // namespace orvane::site::decoding
