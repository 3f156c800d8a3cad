#include "observe/StatsState.h"

#include <algorithm>
#include <stdexcept>

namespace orvane::site::observe {
namespace {

// The labels the stats write themselves, which a constant label would collide with.
constexpr std::array<std::string_view, 11> kOwnLabels = {
    "operation", "outcome",  "domain", "code",  "status",  "failure",
    "limiter",   "fallback", "le",     "event", "protocol"};

bool validName(std::string_view name) {
  if (name.empty() || name.substr(0, 2) == "__") return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

void checkLabels(const ConstantLabels& labels) {
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string& name = labels[i].first;
    if (!validName(name)) {
      throw std::invalid_argument("CallStats label name \"" + name +
                                  R"(" is not [a-zA-Z_][a-zA-Z0-9_]* or starts with "__")");
    }
    if (std::find(kOwnLabels.begin(), kOwnLabels.end(), name) != kOwnLabels.end()) {
      throw std::invalid_argument("CallStats label name \"" + name +
                                  "\" is one the stats write themselves");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (labels[j].first == name) {
        throw std::invalid_argument("CallStats label name \"" + name + "\" is given twice");
      }
    }
  }
}

std::shared_ptr<const LatencyHistogram::Bounds> boundsOf(
    const std::vector<std::chrono::nanoseconds>& buckets) {
  if (buckets.empty()) return LatencyHistogram::defaultBounds();
  LatencyHistogram::Bounds bounds;
  for (const std::chrono::nanoseconds bucket : buckets) {
    if (bucket.count() <= 0 || (!bounds.empty() && bucket.count() <= bounds.back())) {
      throw std::invalid_argument(
          "CallStats bucket bounds must be positive and strictly increasing");
    }
    bounds.push_back(bucket.count());
  }
  return std::make_shared<const LatencyHistogram::Bounds>(std::move(bounds));
}

}  // namespace

std::uint64_t Slot::failed() const {
  std::lock_guard<std::mutex> lock(errorsMutex);
  std::uint64_t sum = 0;
  for (const auto& entry : errors) sum += entry.second;
  return sum;
}

StatsState::StatsState(ConstantLabels labels, const std::vector<std::chrono::nanoseconds>& buckets)
    : labels_(std::move(labels)), bounds_(boundsOf(buckets)) {
  checkLabels(labels_);
  for (std::size_t i = 0; i < kOperations.size(); ++i) {
    known_[i] = std::make_unique<Slot>(kOperations[i], bounds_);
  }
}

Slot& StatsState::slot(std::string_view operation) {
  for (std::size_t i = 0; i < kOperations.size(); ++i) {
    if (kOperations[i] == operation) return *known_[i];
  }
  std::lock_guard<std::mutex> lock(othersMutex_);
  auto found = others_.find(operation);
  if (found == others_.end()) {
    found =
        others_.emplace(std::string(operation), std::make_unique<Slot>(operation, bounds_)).first;
  }
  return *found->second;
}

std::vector<const Slot*> StatsState::seenSlots() const {
  std::vector<const Slot*> slots;
  for (const auto& slot : known_) {
    if (slot->seen()) slots.push_back(slot.get());
  }
  std::lock_guard<std::mutex> lock(othersMutex_);
  for (const auto& entry : others_) slots.push_back(entry.second.get());
  return slots;
}

void StatsState::limiterChanged(std::string_view limiter, bool fallback) {
  std::lock_guard<std::mutex> lock(limitersMutex_);
  auto found = limiters_.find(limiter);
  if (found == limiters_.end())
    found = limiters_.emplace(std::string(limiter), LimiterState()).first;
  ++(fallback ? found->second.toFallback : found->second.toNormal);
  found->second.fallback = fallback;
}

std::map<std::string, LimiterState, std::less<>> StatsState::limiters() const {
  std::lock_guard<std::mutex> lock(limitersMutex_);
  return limiters_;
}

}  // namespace orvane::site::observe
