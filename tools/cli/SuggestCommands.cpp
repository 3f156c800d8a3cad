// suggest and autocomplete.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <orvane/site/SiteClient.h>
#include <orvane/site/requests/QueryAutocompleteRequest.h>
#include <orvane/site/requests/QuerySuggestionRequest.h>

#include "Command.h"
#include "FlagHelpers.h"
#include "Session.h"

namespace orvane::site::cli {
namespace {

Command suggest(CLI::App& app) {
  struct Flags {
    std::string query;
    LocationFlags location;
    std::optional<std::int64_t> radius;
    BoundsFlags bounds;
    std::optional<std::vector<std::string>> poiTypes;
    std::optional<std::string> countryCode, language;
    std::optional<bool> children;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "suggest", "Places the service suggests for a query");
  sub->add_option("--query", f->query, "Text to find suggestions for")->required();
  addLocation(*sub, f->location, false, "the point to favour");
  addOptional(*sub, "--radius", f->radius, "Radius around the point, in metres");
  addBounds(*sub, f->bounds, "to favour");
  addOptionalList(*sub, "--poi-types", f->poiTypes, "Generic POI types, such as RESTAURANT,BANK");
  addOptional(*sub, "--country-code", f->countryCode, "Country to search in, such as FR");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  addOptionalSwitch(*sub, "--children", f->children, "Ask for child places");
  return {sub, [f](Session& session) {
            QuerySuggestionRequest request(f->query, f->location.coordinate(), f->radius,
                                           f->bounds.bounds(), f->poiTypes, f->countryCode,
                                           f->language, f->children);
            return session.call<QuerySuggestionResponse>([&request](auto context, auto handler) {
              SiteClient::shared().querySuggestion(request, context, handler);
            });
          }};
}

Command autocomplete(CLI::App& app) {
  struct Flags {
    std::string query;
    LocationFlags location;
    std::optional<std::int64_t> radius;
    std::optional<std::string> language;
    std::optional<bool> children;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "autocomplete", "Completions of a partly typed query");
  sub->add_option("--query", f->query, "The text typed so far")->required();
  addLocation(*sub, f->location, false, "the point to favour");
  addOptional(*sub, "--radius", f->radius, "Radius around the point, in metres");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  addOptionalSwitch(*sub, "--children", f->children, "Ask for child places");
  return {sub, [f](Session& session) {
            QueryAutocompleteRequest request(f->query, f->location.coordinate(), f->radius,
                                             f->language, f->children);
            return session.call<QueryAutocompleteResponse>([&request](auto context, auto handler) {
              SiteClient::shared().queryAutocomplete(request, context, handler);
            });
          }};
}

}  // namespace

void addSuggestCommands(CLI::App& app, std::vector<Command>& commands) {
  commands.push_back(suggest(app));
  commands.push_back(autocomplete(app));
}

}  // namespace orvane::site::cli
