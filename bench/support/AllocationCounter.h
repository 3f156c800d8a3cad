#pragma once

#include <cstdint>

namespace orvane::site::bench {

/// Number of C++ heap allocations (every form of operator new) made by the process while
/// counting was on.
///
/// The bench programs replace the global operator new and delete to count them; malloc calls
/// made directly by C libraries (libcurl, OpenSSL) are not counted. Counting is off by default,
/// because the shared atomic counter itself costs time on allocation-heavy code: time with it
/// off, then count in a separate pass. Thread-safe.
std::uint64_t allocationCount() noexcept;

/// Counts allocations on every thread while it lives (scopes must not overlap).
class CountAllocations {
 public:
  CountAllocations() noexcept;
  ~CountAllocations();
  CountAllocations(const CountAllocations&) = delete;
  CountAllocations& operator=(const CountAllocations&) = delete;

  /// Allocations made since this scope began.
  std::uint64_t count() const noexcept { return allocationCount() - start_; }

 private:
  std::uint64_t start_;
};

}  // namespace orvane::site::bench
