#pragma once

#include <orvane/site/vocabulary/VocabularyEntry.h>

#include <string>
#include <vector>

namespace orvane::site {

/// The service's own, finer POI taxonomy: 718 named string constants, such as
/// `OvLocationType::EATING_DRINKING` holding "eating_drinking".
///
/// Ready-made values for the `ovPoiType` of text and nearby search, and for comparing with the
/// `ovPoiTypes` of a `Poi` or `ChildrenNode` in a reply. The library itself never reads them: a
/// request carries whatever text the application puts in it.
///
/// Each constant is named after its value in upper case, with two exceptions:
/// - `PROVENÇAL_RESTAURANT` (Ç, U+00C7) holds "provençal_restaurant" (ç, U+00E7; 21 bytes of
///   UTF-8). `PROVENCAL_RESTAURANT` is an ASCII alias of the very same variable.
/// - `AUTOMOTIVE_REPAIR_SHOP` holds "automotive", a NO-BREAK SPACE (U+00A0), then "repair_shop"
///   (23 bytes of UTF-8); it is not equal to "automotive_repair_shop".
///
/// Other values are kept exactly as the service defines them, oddities included:
/// "highway__entrance", "earthquake_assembly_point_", "gardening_cervice_center". The full
/// table, in declaration order, is OvLocationTypeList.inc beside this header.
///
/// Each constant is a process-wide `std::string` that applications may read and assign; an
/// assignment is seen by every later read and changes no other constant (not even the constant
/// of the same value in `LocationType`). With GCC or Clang on ELF platforms (Linux, BSD) the
/// constants are constructed before any static initializer of the application and destroyed
/// after every static destructor, so those may read them too. No lock guards them: reading from
/// several threads is safe, but an application that assigns them while other threads read them
/// must order those accesses itself.
class ORVANE_SITE_EXPORT OvLocationType {
 public:
  OvLocationType() = delete;

#define ORVANE_SITE_OV_LOCATION_TYPE(name, value) static std::string name;
#include <orvane/site/vocabulary/OvLocationTypeList.inc>

#include "orvane/site/Export.h"

  /// ASCII spelling of `PROVENÇAL_RESTAURANT`, bound to the same variable: an assignment through
  /// either name is seen through the other.
  static std::string& PROVENCAL_RESTAURANT;

  /// Every constant with its name, in declaration order (718 entries; the ASCII alias is not
  /// listed separately). The list is built on first use and never changes or goes away; calling
  /// this from any thread is safe. The entries point at the constants, so they show (and can
  /// set) their current values.
  static const std::vector<VocabularyEntry>& all();
};

}  // namespace orvane::site
