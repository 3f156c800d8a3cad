#include "ResponseJson.h"

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace orvane::site::cli {
namespace {

// Declared up front so that the member helpers below can nest every record in every other.
using cli::toJson;
Json toJson(const Coordinate& coordinate);
Json toJson(const Word& word);
Json toJson(const AddressDetail& address);
Json toJson(const TimeOfWeek& moment);
Json toJson(const Period& period);
Json toJson(const OpeningHours& hours);
Json toJson(const ChildrenNode& node);
Json toJson(const Poi& poi);

// Each `put` adds the member only when the field holds a value.
template <class T>
void put(Json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

template <class Record>
void put(Json& object, const char* key, const std::shared_ptr<Record>& record) {
  if (record) object[key] = toJson(*record);
}

template <class Record>
void put(Json& object, const char* key, const std::optional<std::vector<Record>>& list) {
  if (!list) return;
  Json array = Json::array();
  for (const auto& element : *list) {
    if constexpr (std::is_same_v<Record, std::string>) {
      array.push_back(element);
    } else if constexpr (std::is_same_v<Record, AutoCompletePrediction>) {
      array.push_back(toJson(element));
    } else if (element) {
      array.push_back(toJson(*element));
    } else {
      array.push_back(nullptr);  // only an application-assigned record can be empty
    }
  }
  object[key] = std::move(array);
}

Json toJson(const Coordinate& coordinate) {
  return Json{{"lat", coordinate.lat}, {"lng", coordinate.lng}};
}

void put(Json& object, const char* key, const std::optional<Coordinate>& coordinate) {
  if (coordinate) object[key] = toJson(*coordinate);
}

void put(Json& object, const char* key, const std::optional<CoordinateBounds>& bounds) {
  if (bounds) {
    object[key] =
        Json{{"northeast", toJson(bounds->northeast)}, {"southwest", toJson(bounds->southwest)}};
  }
}

Json toJson(const Word& word) {
  Json object = Json::object();
  put(object, "offset", word.offset);
  put(object, "value", word.value);
  return object;
}

Json toJson(const std::vector<Word>& words) {
  Json array = Json::array();
  for (const auto& word : words) array.push_back(toJson(word));
  return array;
}

void put(Json& object, const char* key, const std::optional<AutoCompletePrediction>& prediction) {
  if (prediction) object[key] = toJson(*prediction);
}

Json toJson(const AddressDetail& address) {
  Json object = Json::object();
  put(object, "countryCode", address.countryCode);
  put(object, "country", address.country);
  put(object, "adminArea", address.adminArea);
  put(object, "subAdminArea", address.subAdminArea);
  put(object, "tertiaryAdminArea", address.tertiaryAdminArea);
  put(object, "subLocality", address.subLocality);
  put(object, "locality", address.locality);
  put(object, "thoroughfare", address.thoroughfare);
  put(object, "streetNumber", address.streetNumber);
  put(object, "postalCode", address.postalCode);
  return object;
}

Json toJson(const TimeOfWeek& moment) {
  Json object = Json::object();
  put(object, "week", moment.week);
  put(object, "time", moment.time);
  return object;
}

Json toJson(const Period& period) {
  Json object = Json::object();
  put(object, "open", period.open);
  put(object, "close", period.close);
  return object;
}

Json toJson(const OpeningHours& hours) {
  Json object = Json::object();
  put(object, "texts", hours.texts);
  put(object, "periods", hours.periods);
  return object;
}

Json toJson(const ChildrenNode& node) {
  Json object = Json::object();
  put(object, "siteId", node.siteId);
  put(object, "name", node.name);
  put(object, "formatAddress", node.formatAddress);
  put(object, "location", node.location);
  put(object, "ovPoiTypes", node.ovPoiTypes);
  put(object, "domeAndInt", node.domeAndInt);
  put(object, "depAndArr", node.depAndArr);
  return object;
}

Json toJson(const Poi& poi) {
  Json object = Json::object();
  put(object, "poiTypes", poi.poiTypes);
  put(object, "ovPoiTypes", poi.ovPoiTypes);
  put(object, "phone", poi.phone);
  put(object, "internationalPhone", poi.internationalPhone);
  put(object, "rating", poi.rating);
  put(object, "websiteUrl", poi.websiteUrl);
  put(object, "openingHours", poi.openingHours);
  put(object, "photoUrls", poi.photoUrls);
  put(object, "priceLevel", poi.priceLevel);
  put(object, "businessStatus", poi.businessStatus);
  put(object, "childrenNodes", poi.childrenNodes);
  return object;
}

// The envelope comes first: it is what tells a caller whether the service was content.
Json envelope(const BaseResponse& response) {
  Json object = Json::object();
  put(object, "returnCode", response.returnCode);
  put(object, "returnDesc", response.returnDesc);
  return object;
}

}  // namespace

Json toJson(const AutoCompletePrediction& prediction) {
  Json object = Json::object();
  put(object, "description", prediction.description);
  object["matchedKeywords"] = toJson(prediction.matchedKeywords);
  object["matchedWords"] = toJson(prediction.matchedWords);
  return object;
}

Json toJson(const Site& site) {
  Json object = Json::object();
  put(object, "siteId", site.siteId);
  put(object, "name", site.name);
  put(object, "formatAddress", site.formatAddress);
  put(object, "address", site.address);
  put(object, "location", site.location);
  put(object, "viewport", site.viewport);
  put(object, "distance", site.distance);
  put(object, "poi", site.poi);
  put(object, "prediction", site.prediction);
  put(object, "utcOffset", site.utcOffset);
  return object;
}

Json toJson(const TextSearchResponse& response) {
  Json object = envelope(response);
  put(object, "totalCount", response.totalCount);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const NearbySearchResponse& response) {
  Json object = envelope(response);
  put(object, "totalCount", response.totalCount);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const DetailSearchResponse& response) {
  Json object = envelope(response);
  put(object, "site", response.site);
  return object;
}

Json toJson(const QuerySuggestionResponse& response) {
  Json object = envelope(response);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const QueryAutocompleteResponse& response) {
  Json object = envelope(response);
  put(object, "predictions", response.predictions);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const GeocodeResponse& response) {
  Json object = envelope(response);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const ReverseGeocodeResponse& response) {
  Json object = envelope(response);
  put(object, "sites", response.sites);
  return object;
}

Json toJson(const TimezoneResponse& response) {
  Json object = envelope(response);
  put(object, "dstOffset", response.dstOffset);
  put(object, "rawOffset", response.rawOffset);
  put(object, "timeZoneId", response.timeZoneId);
  put(object, "timeZoneName", response.timeZoneName);
  return object;
}

}  // namespace orvane::site::cli
