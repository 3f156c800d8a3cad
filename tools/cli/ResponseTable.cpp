#include "ResponseTable.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TextTable.h"

namespace orvane::site::cli {
namespace {

using Sites = std::optional<std::vector<std::shared_ptr<Site>>>;

std::string text(const std::optional<std::string>& value) { return value.value_or(""); }

std::string number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

std::string number(const std::optional<double>& value) { return value ? number(*value) : ""; }

// Whole units are precise enough for a distance, and never turn into exponents.
std::string distance(const std::optional<double>& value) {
  if (!value) return "";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.0f", *value);
  return buffer;
}

std::string number(const std::optional<std::int64_t>& value) {
  return value ? std::to_string(*value) : "";
}

std::string position(const std::optional<Coordinate>& coordinate) {
  return coordinate ? number(coordinate->lat) + "," + number(coordinate->lng) : "";
}

std::string joined(const std::optional<std::vector<std::string>>& list) {
  std::string out;
  for (const auto& item : list.value_or(std::vector<std::string>{})) {
    out += (out.empty() ? "" : ", ") + item;
  }
  return out;
}

std::string summary(const BaseResponse& response, std::optional<std::int64_t> totalCount = {}) {
  std::string out;
  if (response.returnCode) out += "returnCode: " + *response.returnCode;
  if (response.returnDesc)
    out += (out.empty() ? "" : "  ") + ("returnDesc: " + *response.returnDesc);
  if (totalCount) out += (out.empty() ? "" : "  ") + ("totalCount: " + std::to_string(*totalCount));
  return out.empty() ? out : out + "\n";
}

std::string siteTable(const Sites& sites) {
  if (!sites || sites->empty()) return "(no places)\n";
  TextTable table({"#", "name", "siteId", "location", "distance", "address"});
  int index = 0;
  for (const auto& site : *sites) {
    ++index;
    if (!site) continue;
    table.addRow({std::to_string(index), text(site->name), text(site->siteId),
                  position(site->location), distance(site->distance), text(site->formatAddress)});
  }
  return table.render();
}

std::string fieldTable(const std::vector<std::pair<std::string, std::string>>& fields) {
  TextTable table({"field", "value"}, 70);
  for (const auto& [name, value] : fields) {
    if (!value.empty()) table.addRow({name, value});
  }
  return table.empty() ? "(no fields)\n" : table.render();
}

}  // namespace

std::string toTable(const TextSearchResponse& response) {
  return summary(response, response.totalCount) + siteTable(response.sites);
}

std::string toTable(const NearbySearchResponse& response) {
  return summary(response, response.totalCount) + siteTable(response.sites);
}

std::string toTable(const DetailSearchResponse& response) {
  const auto& site = response.site;
  if (!site) return summary(response) + "(no place)\n";
  const auto& poi = site->poi;
  return summary(response) +
         fieldTable(
             {{"siteId", text(site->siteId)},
              {"name", text(site->name)},
              {"address", text(site->formatAddress)},
              {"location", position(site->location)},
              {"utcOffset", number(site->utcOffset)},
              {"poiTypes", poi ? joined(poi->poiTypes) : ""},
              {"phone",
               poi ? text(poi->internationalPhone ? poi->internationalPhone : poi->phone) : ""},
              {"rating", poi ? number(poi->rating) : ""},
              {"website", poi ? text(poi->websiteUrl) : ""},
              {"hours", poi && poi->openingHours ? joined(poi->openingHours->texts) : ""},
              {"status", poi ? text(poi->businessStatus) : ""}});
}

std::string toTable(const QuerySuggestionResponse& response) {
  return summary(response) + siteTable(response.sites);
}

std::string toTable(const QueryAutocompleteResponse& response) {
  std::string out = summary(response);
  if (response.predictions && !response.predictions->empty()) {
    TextTable predictions({"#", "prediction"}, 70);
    int index = 0;
    for (const auto& prediction : *response.predictions) {
      predictions.addRow({std::to_string(++index), text(prediction.description)});
    }
    out += predictions.render() + "\n";
  } else {
    out += "(no predictions)\n";
  }
  return out + siteTable(response.sites);
}

std::string toTable(const GeocodeResponse& response) {
  return summary(response) + siteTable(response.sites);
}

std::string toTable(const ReverseGeocodeResponse& response) {
  return summary(response) + siteTable(response.sites);
}

std::string toTable(const TimezoneResponse& response) {
  return summary(response) + fieldTable({{"timeZoneId", text(response.timeZoneId)},
                                         {"timeZoneName", text(response.timeZoneName)},
                                         {"rawOffset", number(response.rawOffset)},
                                         {"dstOffset", number(response.dstOffset)}});
}

}  // namespace orvane::site::cli
