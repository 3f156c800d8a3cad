#include "FlagHelpers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace orvane::site::cli {
namespace {

// NaN or infinity would reach the request body as JSON null.
const CLI::Validator kFiniteNumber(
    [](const std::string& text) {
      double value = 0;
      if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value)) {
        return "'" + text + "' is not a finite number";
      }
      return std::string();
    },
    "");

CLI::Option* addCoordinatePart(CLI::App& app, const std::string& name,
                               std::optional<double>& target, const std::string& help) {
  return addOptional(app, name, target, help)->check(kFiniteNumber);
}

}  // namespace

CLI::App* addOperation(CLI::App& app, const std::string& name, const std::string& help) {
  auto* sub = app.add_subcommand(name, help);
  sub->fallthrough();
  return sub;
}

CLI::Option* addOptionalSwitch(CLI::App& app, const std::string& name, std::optional<bool>& target,
                               const std::string& help) {
  const std::string negated = "--no-" + name.substr(2);
  return app
      .add_flag_function(
          name + ",!" + negated,
          // --name counts +1 and --no-name -1; with TakeLast only the last one written counts.
          [&target](std::int64_t count) { target = count > 0; },
          help + " (" + name + " or " + negated + "; left out when neither is given)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::optional<Coordinate> LocationFlags::coordinate() const {
  if (!lat || !lng) return std::nullopt;
  return Coordinate(*lat, *lng);
}

void addLocation(CLI::App& app, LocationFlags& flags, bool required, const std::string& what) {
  auto* lat = addCoordinatePart(app, "--lat", flags.lat, "Latitude of " + what);
  auto* lng = addCoordinatePart(app, "--lng", flags.lng, "Longitude of " + what);
  lat->needs(lng);
  lng->needs(lat);
  if (required) {
    lat->required();
    lng->required();
  }
}

std::vector<double> parseNumberList(const std::string& flag, const std::string& text,
                                    std::size_t count) {
  std::vector<double> numbers;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string piece = text.substr(start, comma - start);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(piece.c_str(), &end);
    if (piece.empty() || end != piece.c_str() + piece.size() || errno == ERANGE ||
        !std::isfinite(value)) {
      throw CLI::ValidationError(flag, "'" + piece + "' is not a number");
    }
    numbers.push_back(value);
    start = comma + 1;
  }
  if (numbers.size() != count) {
    throw CLI::ValidationError(flag, "expected " + std::to_string(count) +
                                         " comma-separated numbers, got " +
                                         std::to_string(numbers.size()));
  }
  return numbers;
}

std::optional<CoordinateBounds> BoundsFlags::bounds() const {
  if (fromList) return fromList;
  if (!neLat || !neLng || !swLat || !swLng) return std::nullopt;
  return CoordinateBounds(Coordinate(*neLat, *neLng), Coordinate(*swLat, *swLng));
}

void addBounds(CLI::App& app, BoundsFlags& flags, const std::string& what) {
  auto* list = app.add_option_function<std::string>(
      "--bounds",
      [&flags](const std::string& text) {
        const auto n = parseNumberList("--bounds", text, 4);
        flags.fromList = CoordinateBounds(Coordinate(n[0], n[1]), Coordinate(n[2], n[3]));
      },
      "Box " + what + ", as NE_LAT,NE_LNG,SW_LAT,SW_LNG");
  std::vector<CLI::Option*> corners = {
      addCoordinatePart(app, "--ne-lat", flags.neLat, "Latitude of the box's north-east corner"),
      addCoordinatePart(app, "--ne-lng", flags.neLng, "Longitude of the box's north-east corner"),
      addCoordinatePart(app, "--sw-lat", flags.swLat, "Latitude of the box's south-west corner"),
      addCoordinatePart(app, "--sw-lng", flags.swLng, "Longitude of the box's south-west corner")};
  for (auto* corner : corners) {
    list->excludes(corner);
    for (auto* other : corners) {
      if (other != corner) corner->needs(other);
    }
  }
}

CLI::Option* addOptionalList(CLI::App& app, const std::string& name,
                             std::optional<std::vector<std::string>>& target,
                             const std::string& help) {
  return app
      .add_option_function<std::vector<std::string>>(
          name,
          [&target](const std::vector<std::string>& values) {
            std::vector<std::string> list;
            for (const auto& value : values) {
              if (!value.empty()) list.push_back(value);
            }
            target = std::move(list);
          },
          help + " (comma-separated; an empty value sends an empty list)")
      ->delimiter(',')
      ->allow_extra_args(false);
}

}  // namespace orvane::site::cli
