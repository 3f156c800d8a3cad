// text-search, nearby-search and detail.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <orvane/site/SiteClient.h>
#include <orvane/site/requests/DetailSearchRequest.h>
#include <orvane/site/requests/NearbySearchRequest.h>
#include <orvane/site/requests/TextSearchRequest.h>

#include "Command.h"
#include "FlagHelpers.h"
#include "Session.h"

namespace orvane::site::cli {
namespace {

void addAllPages(CLI::App& sub, std::optional<std::size_t>& allPages) {
  sub.add_option("--all-pages", allPages,
                 "Print every page from --page-index on, up to this many pages and never past "
                 "the reply's totalCount")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000}));
}

Command textSearch(CLI::App& app) {
  struct Flags {
    std::string query;
    LocationFlags location;
    std::optional<std::int64_t> radius, pageSize, pageIndex;
    std::optional<std::string> poiType, ovPoiType, countryCode, language;
    std::optional<bool> children;
    std::optional<std::size_t> allPages;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "text-search", "Places that match a free-text query");
  sub->add_option("--query", f->query, "Text to search for")->required();
  addLocation(*sub, f->location, false, "the point to search around");
  addOptional(*sub, "--radius", f->radius, "Search radius around the point, in metres");
  addOptional(*sub, "--poi-type", f->poiType, "Generic POI type, such as RESTAURANT");
  addOptional(*sub, "--ov-poi-type", f->ovPoiType, "Maker POI type, such as EATING_DRINKING");
  addOptional(*sub, "--country-code", f->countryCode, "Country to search in, such as FR");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  addOptional(*sub, "--page-size", f->pageSize, "Places per page");
  addOptional(*sub, "--page-index", f->pageIndex, "Page to return, from 1");
  addOptionalSwitch(*sub, "--children", f->children, "Ask for child places");
  addAllPages(*sub, f->allPages);
  return {sub, [f](Session& session) {
            TextSearchRequest request(f->query, f->location.coordinate(), f->radius, f->poiType,
                                      f->ovPoiType, f->countryCode, f->language, f->pageSize,
                                      f->pageIndex, f->children);
            if (f->allPages) {
              SiteClient client(session.clientOptions());
              return session.printPages(client.textSearchPages(request, *f->allPages));
            }
            return session.call<TextSearchResponse>([&request](auto context, auto handler) {
              SiteClient::shared().textSearch(request, context, handler);
            });
          }};
}

Command nearbySearch(CLI::App& app) {
  struct Flags {
    LocationFlags location;
    std::optional<std::int64_t> radius, pageSize, pageIndex;
    std::optional<std::string> query, poiType, ovPoiType, language;
    std::optional<std::size_t> allPages;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "nearby-search", "Places around a point");
  addLocation(*sub, f->location, true, "the point to search around");
  addOptional(*sub, "--radius", f->radius, "Search radius around the point, in metres");
  addOptional(*sub, "--query", f->query, "Keyword the places should match");
  addOptional(*sub, "--poi-type", f->poiType, "Generic POI type, such as RESTAURANT");
  addOptional(*sub, "--ov-poi-type", f->ovPoiType, "Maker POI type, such as EATING_DRINKING");
  addOptional(*sub, "--language", f->language, "Language of the results, such as en");
  addOptional(*sub, "--page-size", f->pageSize, "Places per page");
  addOptional(*sub, "--page-index", f->pageIndex, "Page to return, from 1");
  addAllPages(*sub, f->allPages);
  return {sub, [f](Session& session) {
            NearbySearchRequest request(*f->location.coordinate(), f->radius, f->query, f->poiType,
                                        f->ovPoiType, f->language, f->pageSize, f->pageIndex);
            if (f->allPages) {
              SiteClient client(session.clientOptions());
              return session.printPages(client.nearbySearchPages(request, *f->allPages));
            }
            return session.call<NearbySearchResponse>([&request](auto context, auto handler) {
              SiteClient::shared().nearbySearch(request, context, handler);
            });
          }};
}

Command detail(CLI::App& app) {
  struct Flags {
    std::string siteId;
    std::optional<std::string> language;
    std::optional<bool> children;
  };
  auto f = std::make_shared<Flags>();
  auto* sub = addOperation(app, "detail", "The full record of one place, by its site id");
  sub->add_option("--site-id", f->siteId, "Site id, as other operations return it")->required();
  addOptional(*sub, "--language", f->language, "Language of the result, such as en");
  addOptionalSwitch(*sub, "--children", f->children, "Ask for child places");
  return {sub, [f](Session& session) {
            DetailSearchRequest request(f->siteId, f->language, f->children);
            return session.call<DetailSearchResponse>([&request](auto context, auto handler) {
              SiteClient::shared().detailSearch(request, context, handler);
            });
          }};
}

}  // namespace

void addSearchCommands(CLI::App& app, std::vector<Command>& commands) {
  commands.push_back(textSearch(app));
  commands.push_back(nearbySearch(app));
  commands.push_back(detail(app));
}

}  // namespace orvane::site::cli
