#include <orvane/site/vocabulary/LocationType.h>

#include "internal/EarlyStaticInit.h"

namespace orvane::site {

#define ORVANE_SITE_LOCATION_TYPE(name, value) \
  ORVANE_SITE_EARLY_STATIC_INIT std::string LocationType::name = value;
#include <orvane/site/vocabulary/LocationTypeList.inc>

const std::vector<VocabularyEntry>& LocationType::all() {
  // Never destroyed, so listing stays valid even from other objects' destructors at exit.
  static const auto* const entries = new std::vector<VocabularyEntry>{
#define ORVANE_SITE_LOCATION_TYPE(name, value) {#name, &LocationType::name},
#include <orvane/site/vocabulary/LocationTypeList.inc>
  };
  return *entries;
}

}  // namespace orvane::site
