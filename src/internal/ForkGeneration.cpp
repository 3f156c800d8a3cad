#include "internal/ForkGeneration.h"

#include <pthread.h>

#include <atomic>

namespace orvane::site::internal {
namespace {

std::atomic<std::uint64_t> gGeneration{0};

void countFork() noexcept { gGeneration.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

std::uint64_t forkGeneration() noexcept {
  // Registered by the first object that asks, so before any fork that object could live past.
  static const bool registered = pthread_atfork(nullptr, nullptr, &countFork) == 0;
  (void)registered;
  return gGeneration.load(std::memory_order_relaxed);
}

}  // namespace orvane::site::internal
