// geocode, reverse-geocode and timezone.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <orvane/site/SiteClient.h>
#include <orvane/site/requests/GeocodeRequest.h>
#include <orvane/site/requests/ReverseGeocodeRequest.h>
#include <orvane/site/requests/TimezoneRequest.h>

#include "Command.h"
#include "FlagHelpers.h"
#include "Session.h"

namespace orvane::site::cli {
namespace {

Command geocode(CLI::App& app) {
  struct Flags {
    std::string address;
    BoundsFlags bounds;
    std::optional<std::string> language;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "geocode", "Places that match an address");
  sub->add_option("--address", f->address, "The address, as free text")->required();
  addBounds(*sub, f->bounds, "to favour");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  return {sub, [f](Session& session) {
            GeocodeRequest request(f->address, f->bounds.bounds(), f->language);
            return session.call<GeocodeResponse>([&request](auto context, auto handler) {
              SiteClient::shared().geocode(request, context, handler);
            });
          }};
}

Command reverseGeocode(CLI::App& app) {
  struct Flags {
    LocationFlags location;
    std::optional<std::string> language;
    std::optional<bool> returnPoi;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "reverse-geocode", "Places at a position");
  addLocation(*sub, f->location, true, "the position");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  addOptionalSwitch(*sub, "--return-poi", f->returnPoi, "Ask for POI results");
  return {sub, [f](Session& session) {
            ReverseGeocodeRequest request(*f->location.coordinate(), f->language, f->returnPoi);
            return session.call<ReverseGeocodeResponse>([&request](auto context, auto handler) {
              SiteClient::shared().reverseGeocode(request, context, handler);
            });
          }};
}

Command timezone(CLI::App& app) {
  struct Flags {
    LocationFlags location;
    std::int64_t timestamp = 0;
    std::optional<std::string> language;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "timezone", "The time zone of a position at a moment");
  addLocation(*sub, f->location, true, "the position");
  sub->add_option("--timestamp", f->timestamp, "The moment, in seconds since 1970-01-01 UTC")
      ->required();
  addOptional(*sub, "--language", f->language, "Language of the zone's name, such as en");
  return {sub, [f](Session& session) {
            TimezoneRequest request(*f->location.coordinate(), f->timestamp, f->language);
            return session.call<TimezoneResponse>([&request](auto context, auto handler) {
              SiteClient::shared().timezone(request, context, handler);
            });
          }};
}

}  // namespace

void addGeoCommands(CLI::App& app, std::vector<Command>& commands) {
  commands.push_back(geocode(app));
  commands.push_back(reverseGeocode(app));
  commands.push_back(timezone(app));
}

}  // namespace orvane::site::cli
