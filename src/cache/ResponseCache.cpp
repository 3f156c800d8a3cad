#include "orvane/site/ResponseCache.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "cache/CacheStore.h"

namespace orvane::site {
namespace {

constexpr std::array<std::string_view, 8> kOperations = {
    "textSearch",        "nearbySearch", "detailSearch",   "querySuggestion",
    "queryAutocomplete", "geocode",      "reverseGeocode", "timezone"};

std::size_t indexOf(std::string_view operation) {
  return static_cast<std::size_t>(std::find(kOperations.begin(), kOperations.end(), operation) -
                                  kOperations.begin());
}

}  // namespace

ResponseCacheOptions::ResponseCacheOptions() {
  using namespace std::chrono_literals;
  // Zones change with a government's decision, places rarely; results of a search move with
  // the places around it, suggestions with what people type.
  const std::array<std::chrono::nanoseconds, 8> defaults = {5min, 5min, 1h, 1min,
                                                            1min, 1h,   1h, 24h};
  lifetimes_ = defaults;
}

ResponseCacheOptions& ResponseCacheOptions::setMaxBytes(std::size_t value) {
  maxBytes_ = value;
  return *this;
}

ResponseCacheOptions& ResponseCacheOptions::setLifetime(std::string_view operation,
                                                        std::chrono::nanoseconds value) {
  const std::size_t index = indexOf(operation);
  if (index < lifetimes_.size()) {
    lifetimes_[index] = std::max(value, std::chrono::nanoseconds::zero());
  }
  return *this;
}

std::chrono::nanoseconds ResponseCacheOptions::lifetime(std::string_view operation) const noexcept {
  const std::size_t index = indexOf(operation);
  return index < lifetimes_.size() ? lifetimes_[index] : std::chrono::nanoseconds::zero();
}

ResponseCacheOptions& ResponseCacheOptions::setPositionGrid(std::string_view operation,
                                                            double degrees) {
  const double grid = std::isfinite(degrees) && degrees > 0.0 ? degrees : 0.0;
  if (operation == "reverseGeocode") reverseGeocodeGrid_ = grid;
  if (operation == "timezone") timezoneGrid_ = grid;
  return *this;
}

double ResponseCacheOptions::positionGrid(std::string_view operation) const noexcept {
  if (operation == "reverseGeocode") return reverseGeocodeGrid_;
  if (operation == "timezone") return timezoneGrid_;
  return 0.0;
}

ResponseCacheOptions& ResponseCacheOptions::setClock(Clock value) {
  clock_ = std::move(value);
  return *this;
}

ResponseCache::ResponseCache(ResponseCacheOptions options)
    : store_(std::make_unique<internal::CacheStore>(std::move(options))) {}

ResponseCache::~ResponseCache() = default;

const ResponseCacheOptions& ResponseCache::options() const noexcept { return store_->options(); }

std::size_t ResponseCache::entryCount() const { return store_->entryCount(); }

std::size_t ResponseCache::byteCount() const { return store_->byteCount(); }

void ResponseCache::clear() { store_->clear(); }

}  // namespace orvane::site
