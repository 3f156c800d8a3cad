#pragma once

#include <memory>
#include <string_view>

#include "orvane/site/CallObserver.h"

namespace orvane::site::internal {

/// Tells `observer` (if any) of a cache event; whatever it throws is dropped.
inline void reportCache(const std::shared_ptr<CallObserver>& observer, std::string_view operation,
                        CallObserver::CacheEvent::Kind kind) noexcept {
  if (!observer) return;
  try {
    observer->onCacheEvent(CallObserver::CacheEvent{operation, kind});
  } catch (...) {
    // An observer's failure must not change the call.
  }
}

}  // namespace orvane::site::internal
