#include "orvane/site/Localization.h"

#include <memory>
#include <mutex>
#include <utility>

namespace orvane::site {
namespace {

struct LookupSlot {
  std::mutex mutex;
  std::shared_ptr<const LocalizedStringLookup> lookup;
};

// Never destroyed, so translations keep working while the process ends.
LookupSlot& slot() {
  static auto* instance = new LookupSlot();
  return *instance;
}

}  // namespace

void setLocalizedStringLookup(LocalizedStringLookup lookup) {
  auto next = lookup ? std::make_shared<const LocalizedStringLookup>(std::move(lookup)) : nullptr;
  std::lock_guard<std::mutex> lock(slot().mutex);
  slot().lookup = std::move(next);
}

std::string localizedString(const std::string& key, const std::string& comment) {
  std::shared_ptr<const LocalizedStringLookup> lookup;
  {
    std::lock_guard<std::mutex> lock(slot().mutex);
    lookup = slot().lookup;
  }
  if (!lookup) return key;
  try {
    std::string translated = (*lookup)(key, comment);
    return translated.empty() ? key : translated;
  } catch (...) {
    // A throwing translation must not take an error report down with it.
    return key;
  }
}

}  // namespace orvane::site
