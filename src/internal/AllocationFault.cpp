#include "internal/AllocationFault.h"

#include <atomic>
#include <new>

namespace orvane::site::internal {
namespace {

std::atomic<AllocationSite> gArmed{AllocationSite::none};

}  // namespace

void armAllocationFault(AllocationSite site) noexcept { gArmed.store(site); }

void throwIfAllocationFault(AllocationSite site) {
  if (gArmed.load(std::memory_order_relaxed) != site) return;
  AllocationSite expected = site;
  if (gArmed.compare_exchange_strong(expected, AllocationSite::none)) throw std::bad_alloc();
}

}  // namespace orvane::site::internal
