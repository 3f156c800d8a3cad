#pragma once

#include <chrono>
#include <memory>

#include "transport/SharedTrustStore.h"

namespace orvane::site::transport {

/// How long the system's parsed store is used before its files are read again, so that CA
/// updates reach a long-running process (libcurl's own CA cache keeps a store as long).
inline constexpr std::chrono::hours kSystemTrustStoreMaxAge{24};

/// The system's trust store for transports without extra CAs: libcurl's built-in CA file and CA
/// directory, the very files libcurl would read for each new connection, parsed once for the
/// whole process and parsed again once `kSystemTrustStoreMaxAge` old. Null when that file is
/// missing, unreadable or holds no certificate, or libcurl cannot take a shared store: the
/// transfer then keeps libcurl's default CA settings (and the next try is as late). Thread-safe.
std::shared_ptr<const SharedTrustStore> currentSystemTrustStore();

}  // namespace orvane::site::transport
