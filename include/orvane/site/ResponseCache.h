#pragma once

#include <cstddef>
#include <memory>

#include "orvane/site/Export.h"
#include "orvane/site/ResponseCacheOptions.h"

namespace orvane::site {

namespace internal {
class CacheStore;
}  // namespace internal

/// Decoded replies of option clients, kept for their lifetime so that a repeated question is
/// answered without a request (ClientOptions::setResponseCache).
///
/// Entries are keyed by operation, host, a hash of the API key (clients with different keys
/// never see each other's entries) and the exact request body (positions rounded where
/// ResponseCacheOptions::setPositionGrid says so). Only successful, complete replies are kept:
/// never an error, a reply whose returnCode is not "0", or a cancelled call. Bounded by bytes,
/// least recently used first out.
///
/// \code
/// auto cache = std::make_shared<orvane::site::ResponseCache>(
///     orvane::site::ResponseCacheOptions().setMaxBytes(16 << 20));
/// orvane::site::SiteClient
/// client(orvane::site::ClientOptions().setApiKey(key).setResponseCache(cache)); \endcode
///
/// Thread-safe; one cache may serve several clients.
class ORVANE_SITE_EXPORT ResponseCache {
 public:
  /// An empty cache with these options.
  explicit ResponseCache(ResponseCacheOptions options = ResponseCacheOptions());
  ~ResponseCache();
  ResponseCache(const ResponseCache&) = delete;
  ResponseCache& operator=(const ResponseCache&) = delete;

  /// The options it was made with.
  const ResponseCacheOptions& options() const noexcept;
  /// Entries kept now (expired ones included until they are looked up or evicted).
  std::size_t entryCount() const;
  /// Bytes the entries take now, as counted against ResponseCacheOptions::maxBytes().
  std::size_t byteCount() const;
  /// Drops every entry.
  void clear();

  /// The store behind it; for the library's own use.
  ORVANE_SITE_NO_EXPORT internal::CacheStore& store() const noexcept { return *store_; }

 private:
  std::unique_ptr<internal::CacheStore> store_;
};

}  // namespace orvane::site
