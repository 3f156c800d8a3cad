#pragma once

#include <string>
#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// One named constant of a POI-type vocabulary, as listed by `LocationType::all()` and
/// `OvLocationType::all()`.
///
/// Lets applications list the constants or check a text against the current values without
/// naming each constant in their code.
struct ORVANE_SITE_EXPORT VocabularyEntry {
  /// The constant's identifier in UTF-8, for example "ZOO" or "PROVENÇAL_RESTAURANT".
  std::string_view name;
  /// The constant itself: reading `*variable` gives its current value, and assigning through it
  /// assigns the constant (exactly as assigning `LocationType::ZOO` does).
  std::string* variable;
};

}  // namespace orvane::site
