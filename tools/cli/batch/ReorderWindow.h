#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orvane::site::cli::batch {

/// Holds results that finished out of order until every earlier one is in, so that they leave
/// in sequence. At most `capacity` sequence numbers from the next expected one are admitted:
/// memory depends on the capacity, never on how many items pass through.
template <class T>
class ReorderWindow {
 public:
  explicit ReorderWindow(std::size_t capacity, std::uint64_t first = 0)
      : slots_(capacity == 0 ? 1 : capacity), next_(first) {}

  /// Whether `sequence` may be put now.
  bool admits(std::uint64_t sequence) const {
    return sequence >= next_ && sequence - next_ < slots_.size();
  }

  /// Stores the item of `sequence`; throws std::logic_error for a sequence not admitted or
  /// already held, since either would lose or double an item.
  void put(std::uint64_t sequence, T item) {
    if (!admits(sequence)) throw std::logic_error("reorder window: sequence out of range");
    auto& slot = slots_[sequence % slots_.size()];
    if (slot) throw std::logic_error("reorder window: sequence already held");
    slot = std::move(item);
    ++held_;
  }

  /// The next item in sequence, when it is in.
  std::optional<T> popNext() {
    auto& slot = slots_[next_ % slots_.size()];
    if (!slot) return std::nullopt;
    std::optional<T> item = std::move(slot);
    slot.reset();
    ++next_;
    --held_;
    return item;
  }

  /// The sequence number the window waits for.
  std::uint64_t next() const { return next_; }
  std::size_t held() const { return held_; }
  std::size_t capacity() const { return slots_.size(); }

 private:
  std::vector<std::optional<T>> slots_;
  std::uint64_t next_;
  std::size_t held_ = 0;
};

}  // namespace orvane::site::cli::batch
