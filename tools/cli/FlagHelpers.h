#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <orvane/site/records/Coordinate.h>
#include <orvane/site/records/CoordinateBounds.h>

namespace orvane::site::cli {

/// Declares the subcommand of one operation. The shared flags of the top-level app may follow
/// its name.
CLI::App* addOperation(CLI::App& app, const std::string& name, const std::string& help);

/// An option whose presence matters: `target` stays empty unless the flag is given.
template <class T>
CLI::Option* addOptional(CLI::App& app, const std::string& name, std::optional<T>& target,
                         const std::string& help) {
  return app.add_option_function<T>(
      name, [&target](const T& value) { target = value; }, help);
}

/// A yes/no field that may also be left out: `--name` sends true, `--no-name` (or
/// `--name=false`) sends false, neither leaves the field out of the request.
CLI::Option* addOptionalSwitch(CLI::App& app, const std::string& name, std::optional<bool>& target,
                               const std::string& help);

/// A position given as --lat and --lng.
struct LocationFlags {
  std::optional<double> lat;
  std::optional<double> lng;

  /// The position, when both halves were given.
  std::optional<Coordinate> coordinate() const;
};

/// Declares --lat and --lng; each needs the other, and `required` makes both mandatory.
void addLocation(CLI::App& app, LocationFlags& flags, bool required, const std::string& what);

/// A box given as --bounds NE_LAT,NE_LNG,SW_LAT,SW_LNG or as --ne-lat, --ne-lng, --sw-lat and
/// --sw-lng.
struct BoundsFlags {
  std::optional<CoordinateBounds> fromList;
  std::optional<double> neLat;
  std::optional<double> neLng;
  std::optional<double> swLat;
  std::optional<double> swLng;

  std::optional<CoordinateBounds> bounds() const;
};

void addBounds(CLI::App& app, BoundsFlags& flags, const std::string& what);

/// A list of texts given as one comma-separated value, repeatable; an empty value gives a
/// present, empty list.
CLI::Option* addOptionalList(CLI::App& app, const std::string& name,
                             std::optional<std::vector<std::string>>& target,
                             const std::string& help);

/// Parses "a,b,c,d" into four numbers; throws CLI::ValidationError naming `flag` otherwise.
std::vector<double> parseNumberList(const std::string& flag, const std::string& text,
                                    std::size_t count);

}  // namespace orvane::site::cli
