#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// How a ResponseCache keeps replies: its size in bytes, how long each operation's entries stay
/// fresh, and how near two positions must be to share an entry. A copyable value with chaining
/// setters; operations are named as in CallObserver events ("textSearch", "timezone", ...).
///
/// Default lifetimes: 24 h for timezone, 1 h for geocode, reverseGeocode and detailSearch,
/// 5 min for textSearch and nearbySearch, 1 min for querySuggestion and queryAutocomplete.
/// A lifetime of zero turns the operation off: its calls neither use the cache nor share
/// requests.
class ORVANE_SITE_EXPORT ResponseCacheOptions {
 public:
  /// What the cache reads the time from.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  /// The defaults named above, 64 MiB, exact positions, the steady clock.
  ResponseCacheOptions();

  /// The most bytes the entries may take (key, reply text and a quarter more for the decoded
  /// record, 320 bytes of bookkeeping); the least recently used entries are evicted to stay
  /// below it. An entry larger than the whole bound is not kept.
  ResponseCacheOptions& setMaxBytes(std::size_t value);
  /// The value given to setMaxBytes().
  std::size_t maxBytes() const noexcept { return maxBytes_; }

  /// How long a reply of `operation` is served from the cache; zero turns the operation off.
  /// An unknown operation name changes nothing.
  ResponseCacheOptions& setLifetime(std::string_view operation, std::chrono::nanoseconds value);
  /// The lifetime of `operation`; zero for an operation that is off or unknown.
  std::chrono::nanoseconds lifetime(std::string_view operation) const noexcept;

  /// Rounds the position of reverseGeocode and timezone requests to a grid of `degrees` (0.001
  /// is three decimal places, about 100 m) before it becomes part of the key, so that nearby
  /// questions share an entry; the request sent is the first caller's, unrounded. Zero (the
  /// default) keeps positions exact. A timezone request's timestamp always stays exact: a
  /// rounded one could cross a change of offset. Other operations are not changed.
  ResponseCacheOptions& setPositionGrid(std::string_view operation, double degrees);
  /// The grid of `operation`, in degrees; zero when positions stay exact.
  double positionGrid(std::string_view operation) const noexcept;

  /// Replaces the clock that lifetimes are measured on (tests use a fake one). Empty restores
  /// the steady clock.
  ResponseCacheOptions& setClock(Clock value);
  /// The value given to setClock().
  const Clock& clock() const noexcept { return clock_; }

 private:
  std::size_t maxBytes_ = std::size_t{64} << 20U;
  std::array<std::chrono::nanoseconds, 8> lifetimes_{};
  double reverseGeocodeGrid_ = 0.0;
  double timezoneGrid_ = 0.0;
  Clock clock_;
};

}  // namespace orvane::site
