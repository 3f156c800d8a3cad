#include "transport/SystemTrustStore.h"

#include <mutex>

#include "transport/CaBundle.h"

namespace orvane::site::transport {
namespace {

struct SystemStoreSlot {
  std::mutex mutex;
  std::shared_ptr<const SharedTrustStore> store;
  std::chrono::steady_clock::time_point readAt;
  bool read = false;
};

// Never destroyed: transfers may still start while static objects are torn down.
SystemStoreSlot& slot() {
  static auto* const instance = new SystemStoreSlot();
  return *instance;
}

}  // namespace

std::shared_ptr<const SharedTrustStore> currentSystemTrustStore() {
  SystemStoreSlot& s = slot();
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.read || now - s.readAt >= kSystemTrustStoreMaxAge) {
    // Parsing takes milliseconds; callers of other transports wait for it once a day at most.
    s.store = SharedTrustStore::forSystem(builtInCaFileText(), systemCertificateDirectory());
    s.readAt = now;
    s.read = true;
  }
  return s.store;
}

}  // namespace orvane::site::transport
