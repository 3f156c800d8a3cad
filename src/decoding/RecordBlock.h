#pragma once

#include <atomic>
#include <cstddef>
#include <new>

#include "decoding/SanitizerMarks.h"

namespace orvane::site::decoding {

/// A few KiB of memory shared by the records of one decode that fit in it.
///
/// Records are carved from the front, one after another, while the block is open on the decoding
/// thread. Each record gives its share back when it dies, on whatever thread drops its last
/// reference; the block is freed once it is closed and every record made in it has died.
class RecordBlock {
 public:
  /// Every record is placed at this alignment.
  static constexpr std::size_t kAlignment = alignof(std::max_align_t);
  /// Large enough that a site and everything below it usually share one block, small enough
  /// that a record kept alive holds little memory beside it.
  static constexpr std::size_t kUsualSize = std::size_t{8} * 1024;

  /// An open block with room for `capacity` bytes of records. Throws std::bad_alloc.
  static RecordBlock* open(std::size_t capacity);

  RecordBlock(const RecordBlock&) = delete;
  RecordBlock& operator=(const RecordBlock&) = delete;

  bool hasRoomFor(std::size_t bytes) const noexcept { return roundUp(bytes) <= capacity_ - used_; }

  /// Carves `bytes` from the block (decoding thread, open block only). Throws std::bad_alloc when
  /// the block is short of room, which callers rule out with hasRoomFor().
  void* take(std::size_t bytes) {
    const std::size_t size = roundUp(bytes);
    if (size > capacity_ - used_) throw std::bad_alloc();
    void* record = storage() + used_;
    used_ += size;
    ++issued_;
    markUsable(record, size);
    return record;
  }

  /// The record of `bytes` at `record`, made in this block, has died (any thread).
  void release(void* record, std::size_t bytes) noexcept {
    markUnusable(record, roundUp(bytes));
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
  }

  /// Ends carving (decoding thread); the block lives on while any of its records does.
  void close() noexcept;

 private:
  // While the block is open, this bias keeps its count far from zero, so the decoding thread can
  // count its records without atomics and settle the sum once in close().
  static constexpr std::size_t kOpenBias = std::size_t{1} << (sizeof(std::size_t) * 8 - 2);

  explicit RecordBlock(std::size_t capacity) noexcept : capacity_(capacity) {}
  ~RecordBlock() = default;

  static constexpr std::size_t roundUp(std::size_t bytes) noexcept {
    return (bytes + kAlignment - 1) & ~(kAlignment - 1);
  }
  static std::size_t headerSize() noexcept { return roundUp(sizeof(RecordBlock)); }
  std::byte* storage() noexcept { return reinterpret_cast<std::byte*>(this) + headerSize(); }
  void destroy() noexcept;

  std::atomic<std::size_t> references_{kOpenBias};
  std::size_t capacity_;
  std::size_t used_ = 0;
  std::size_t issued_ = 0;
};

}  // namespace orvane::site::decoding
