#include <orvane/site/vocabulary/OvLocationType.h>

#include "internal/EarlyStaticInit.h"

namespace orvane::site {

#define ORVANE_SITE_OV_LOCATION_TYPE(name, value) \
  ORVANE_SITE_EARLY_STATIC_INIT std::string OvLocationType::name = value;
#include <orvane/site/vocabulary/OvLocationTypeList.inc>

// Binding a reference to a static object is constant initialization: the alias is usable as early
// as the constant itself.
std::string& OvLocationType::PROVENCAL_RESTAURANT = OvLocationType::PROVEN\u00C7AL_RESTAURANT;

const std::vector<VocabularyEntry>& OvLocationType::all() {
  // Never destroyed, so listing stays valid even from other objects' destructors at exit.
  static const auto* const entries = new std::vector<VocabularyEntry>{
#define ORVANE_SITE_OV_LOCATION_TYPE(name, value) {#name, &OvLocationType::name},
#include <orvane/site/vocabulary/OvLocationTypeList.inc>
  };
  return *entries;
}

}  // namespace orvane::site
