#include "decode/NlohmannTextSearch.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Written the way a careful application would: look each key up, skip absent and null members,
// and let get<T>() convert (and throw on a wrong kind). No attempt is made to be slow or clever.

namespace orvane::site::bench {
namespace {

using nlohmann::json;

template <class T>
void read(const json& object, const char* key, std::optional<T>& out) {
  const auto member = object.find(key);
  if (member != object.end() && !member->is_null()) out = member->get<T>();
}

Coordinate toCoordinate(const json& value) {
  return Coordinate(value.at("lat").get<double>(), value.at("lng").get<double>());
}

void read(const json& object, const char* key, std::optional<Coordinate>& out) {
  const auto member = object.find(key);
  if (member != object.end() && !member->is_null()) out = toCoordinate(*member);
}

void read(const json& object, const char* key, std::optional<CoordinateBounds>& out) {
  const auto member = object.find(key);
  if (member != object.end() && !member->is_null()) {
    out = CoordinateBounds(toCoordinate(member->at("northeast")),
                           toCoordinate(member->at("southwest")));
  }
}

std::vector<Word> toWords(const json& list) {
  std::vector<Word> words;
  words.reserve(list.size());
  for (const json& item : list) {
    Word word;
    read(item, "offset", word.offset);
    read(item, "value", word.value);
    words.push_back(std::move(word));
  }
  return words;
}

void read(const json& object, const char* key, std::optional<AutoCompletePrediction>& out) {
  const auto member = object.find(key);
  if (member == object.end() || member->is_null()) return;
  AutoCompletePrediction prediction;
  read(*member, "description", prediction.description);
  prediction.matchedKeywords = toWords(member->at("matchedKeywords"));
  prediction.matchedWords = toWords(member->at("matchedWords"));
  out = std::move(prediction);
}

std::shared_ptr<AddressDetail> toAddress(const json& value) {
  auto address = std::make_shared<AddressDetail>();
  read(value, "countryCode", address->countryCode);
  read(value, "country", address->country);
  read(value, "adminArea", address->adminArea);
  read(value, "subAdminArea", address->subAdminArea);
  read(value, "tertiaryAdminArea", address->tertiaryAdminArea);
  read(value, "subLocality", address->subLocality);
  read(value, "locality", address->locality);
  read(value, "thoroughfare", address->thoroughfare);
  read(value, "streetNumber", address->streetNumber);
  read(value, "postalCode", address->postalCode);
  return address;
}

std::shared_ptr<TimeOfWeek> toTimeOfWeek(const json& value) {
  auto moment = std::make_shared<TimeOfWeek>();
  read(value, "week", moment->week);
  read(value, "time", moment->time);
  return moment;
}

std::shared_ptr<OpeningHours> toOpeningHours(const json& value) {
  auto hours = std::make_shared<OpeningHours>();
  read(value, "texts", hours->texts);
  const auto periods = value.find("periods");
  if (periods != value.end() && !periods->is_null()) {
    hours->periods.emplace();
    hours->periods->reserve(periods->size());
    for (const json& item : *periods) {
      auto period = std::make_shared<Period>();
      const auto open = item.find("open");
      if (open != item.end() && !open->is_null()) period->open = toTimeOfWeek(*open);
      const auto close = item.find("close");
      if (close != item.end() && !close->is_null()) period->close = toTimeOfWeek(*close);
      hours->periods->push_back(std::move(period));
    }
  }
  return hours;
}

std::shared_ptr<ChildrenNode> toChild(const json& value) {
  auto child = std::make_shared<ChildrenNode>();
  read(value, "siteId", child->siteId);
  read(value, "name", child->name);
  read(value, "formatAddress", child->formatAddress);
  read(value, "location", child->location);
  read(value, "ovPoiTypes", child->ovPoiTypes);
  read(value, "domeAndInt", child->domeAndInt);
  read(value, "depAndArr", child->depAndArr);
  return child;
}

std::shared_ptr<Poi> toPoi(const json& value) {
  auto poi = std::make_shared<Poi>();
  read(value, "poiTypes", poi->poiTypes);
  read(value, "ovPoiTypes", poi->ovPoiTypes);
  read(value, "phone", poi->phone);
  read(value, "internationalPhone", poi->internationalPhone);
  read(value, "rating", poi->rating);
  read(value, "websiteUrl", poi->websiteUrl);
  const auto hours = value.find("openingHours");
  if (hours != value.end() && !hours->is_null()) poi->openingHours = toOpeningHours(*hours);
  read(value, "photoUrls", poi->photoUrls);
  read(value, "priceLevel", poi->priceLevel);
  read(value, "businessStatus", poi->businessStatus);
  const auto children = value.find("childrenNodes");
  if (children != value.end() && !children->is_null()) {
    poi->childrenNodes.emplace();
    poi->childrenNodes->reserve(children->size());
    for (const json& item : *children) poi->childrenNodes->push_back(toChild(item));
  }
  return poi;
}

std::shared_ptr<Site> toSite(const json& value) {
  auto site = std::make_shared<Site>();
  read(value, "siteId", site->siteId);
  read(value, "name", site->name);
  read(value, "formatAddress", site->formatAddress);
  const auto address = value.find("address");
  if (address != value.end() && !address->is_null()) site->address = toAddress(*address);
  read(value, "location", site->location);
  read(value, "viewport", site->viewport);
  read(value, "distance", site->distance);
  const auto poi = value.find("poi");
  if (poi != value.end() && !poi->is_null()) site->poi = toPoi(*poi);
  read(value, "prediction", site->prediction);
  read(value, "utcOffset", site->utcOffset);
  return site;
}

}  // namespace

std::shared_ptr<TextSearchResponse> decodeTextSearchWithNlohmann(std::string_view text) {
  const json reply = json::parse(text.begin(), text.end());
  auto response = std::make_shared<TextSearchResponse>();
  read(reply, "totalCount", response->totalCount);
  const auto sites = reply.find("sites");
  if (sites != reply.end() && !sites->is_null()) {
    response->sites.emplace();
    response->sites->reserve(sites->size());
    for (const json& item : *sites) response->sites->push_back(toSite(item));
  }
  read(reply, "returnCode", response->returnCode);
  read(reply, "returnDesc", response->returnDesc);
  return response;
}

}  // namespace orvane::site::bench
