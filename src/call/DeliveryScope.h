#pragma once

namespace orvane::site::internal {

/// Marks the current thread as running a handler (or other code) on behalf of the library while
/// it lives, so that Call::get() there refuses to wait for a call that only this thread's
/// return could let end.
class DeliveryScope {
 public:
  DeliveryScope() noexcept;
  ~DeliveryScope();
  DeliveryScope(const DeliveryScope&) = delete;
  DeliveryScope& operator=(const DeliveryScope&) = delete;

  /// True inside a DeliveryScope or on the library thread.
  static bool active() noexcept;
};

}  // namespace orvane::site::internal
