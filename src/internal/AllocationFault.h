#pragma once

namespace orvane::site::internal {

/// Places where tests make an allocation fail, to check that the call still ends with its
/// completion. Unarmed (the default) a check costs one relaxed atomic load.
enum class AllocationSite {
  none,
  /// Logging a reply's body.
  replyLog,
  /// Entering a transfer into the library thread's table.
  transferRegistration,
};

/// Makes the next check at `site` throw std::bad_alloc (once). `AllocationSite::none` disarms.
void armAllocationFault(AllocationSite site) noexcept;

/// Throws std::bad_alloc when a fault was armed at `site`, and disarms it.
void throwIfAllocationFault(AllocationSite site);

}  // namespace orvane::site::internal
