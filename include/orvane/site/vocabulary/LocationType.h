#pragma once

#include <orvane/site/vocabulary/VocabularyEntry.h>

#include <string>
#include <vector>

namespace orvane::site {

/// The 148 generic POI types, as named string constants: `LocationType::ZOO` holds "zoo",
/// `LocationType::ADMINISTRATIVE_AREA_LEVEL_1` holds "administrative_area_level_1".
///
/// Ready-made values for the `poiType` of text and nearby search and the `poiTypes` of query
/// suggestion, and for comparing with `Poi::poiTypes` of a reply. The library itself never reads
/// them: a request carries whatever text the application puts in it.
///
/// Each constant is named after its value in upper case; the full table, in declaration order,
/// is LocationTypeList.inc beside this header.
///
/// Each constant is a process-wide `std::string` that applications may read and assign; an
/// assignment is seen by every later read and changes no other constant (not even the constant
/// of the same value in `OvLocationType`). With GCC or Clang on ELF platforms (Linux, BSD) the
/// constants are constructed before any static initializer of the application and destroyed
/// after every static destructor, so those may read them too. No lock guards them: reading from
/// several threads is safe, but an application that assigns them while other threads read them
/// must order those accesses itself.
class ORVANE_SITE_EXPORT LocationType {
 public:
  LocationType() = delete;

#define ORVANE_SITE_LOCATION_TYPE(name, value) static std::string name;
#include <orvane/site/vocabulary/LocationTypeList.inc>

#include "orvane/site/Export.h"

  /// Every constant with its name, in declaration order (148 entries). The list is built on
  /// first use and never changes or goes away; calling this from any thread is safe. The entries
  /// point at the constants, so they show (and can set) their current values.
  static const std::vector<VocabularyEntry>& all();
};

}  // namespace orvane::site
