#include "generated_details.h"

#include <array>
#include <cstdio>

#include "stable_hash.h"

namespace orvane::site::standin::detail {
namespace {

// Independent hash streams per detail, so that changing one rule does not shift the others.
enum Seed : std::uint64_t {
  kStreet = 1,
  kNumber,
  kPostal,
  kDistrict,
  kPhone,
  kRating,
  kHours,
  kPhotos,
  kPrice,
  kStatus,
  kChildren
};

std::uint64_t hashOf(const Place& place, Seed seed) { return stableHash(place.zoneId, seed); }

template <std::size_t N>
const char* pick(const std::array<const char*, N>& choices, std::uint64_t hash) {
  return choices[hash % N];
}

const std::array<const char*, 10> kStreets = {
    "Main Street",   "Station Road", "Market Street", "Park Avenue", "Harbour Road",
    "Church Street", "Mill Lane",    "High Street",   "River Walk",  "Garden Row"};

const std::array<const char*, 8> kDistricts = {
    "Old Town",       "Riverside",           "Harbour",         "Hillside",
    "Market Quarter", "University District", "Garden District", "Station Quarter"};

const std::array<const char*, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

std::string streetNumber(const Place& place) {
  return std::to_string(1 + hashOf(place, kNumber) % 199);
}

std::string postalCode(const Place& place) {
  return std::to_string(10000 + hashOf(place, kPostal) % 90000);
}

// Times of day are sent as "HHMM"; days as 0 (Sunday) to 6 (Saturday).
std::string hhmm(int hour) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d00", hour);
  return buffer;
}

nlohmann::ordered_json openingHours(const Place& place) {
  const std::uint64_t hash = hashOf(place, kHours);
  const int opens = 8 + static_cast<int>(hash % 3);          // 08:00 to 10:00
  const int closes = 17 + static_cast<int>((hash / 3) % 3);  // 17:00 to 19:00
  const bool saturday = (hash / 9) % 2 == 0;
  nlohmann::ordered_json texts = nlohmann::ordered_json::array();
  nlohmann::ordered_json periods = nlohmann::ordered_json::array();
  for (int day = 1; day <= 6; ++day) {
    if (day == 6 && !saturday) break;
    texts.push_back(std::string(kDayNames[day]) + ": " + hhmm(opens).insert(2, ":") + "-" +
                    hhmm(closes).insert(2, ":"));
    periods.push_back({{"open", {{"week", day}, {"time", hhmm(opens)}}},
                       {"close", {{"week", day}, {"time", hhmm(closes)}}}});
  }
  if (!saturday) texts.push_back("Saturday: closed");
  texts.push_back("Sunday: closed");
  return {{"texts", texts}, {"periods", periods}};
}

nlohmann::ordered_json child(const Place& place, int index, const std::string& name,
                             const char* ovType, double dLat, double dLng) {
  nlohmann::ordered_json node = {
      {"siteId", place.siteId + "-" + std::to_string(index)},
      {"name", name},
      {"formatAddress", name + ", " + place.name + ", " + place.country},
      {"location", {{"lat", place.lat + dLat}, {"lng", place.lng + dLng}}},
      {"ovPoiTypes", {ovType}}};
  return node;
}

nlohmann::ordered_json children(const Place& place) {
  const std::uint64_t hash = hashOf(place, kChildren);
  auto offset = [&](int shift) {
    return (static_cast<double>((hash >> shift) % 100) - 50) / 1000.0;  // within 0.05 degrees
  };
  nlohmann::ordered_json nodes = nlohmann::ordered_json::array();
  nodes.push_back(child(place, 1, place.name + " Central Station", "intercity_railway_station",
                        offset(0), offset(8)));
  nlohmann::ordered_json terminal = child(place, 2, place.name + " Airport Terminal 1", "terminal",
                                          offset(16) * 4, offset(24) * 4);
  terminal["domeAndInt"] = (hash >> 32) % 2 == 0 ? "INT" : "DOM";
  terminal["depAndArr"] = (hash >> 33) % 2 == 0 ? "DEP" : "ARR";
  nodes.push_back(terminal);
  nodes.push_back(child(place, 3, place.name + " City Hall", "city_hall", offset(40), offset(48)));
  return nodes;
}

}  // namespace

const std::vector<std::string>& placePoiTypes() {
  static const auto* types = new std::vector<std::string>{"locality", "political"};
  return *types;
}

const std::vector<std::string>& placeOvPoiTypes() {
  static const auto* types = new std::vector<std::string>{"general_city"};
  return *types;
}

nlohmann::ordered_json generatedAddress(const Place& place) {
  return {{"countryCode", place.countryCode},
          {"country", place.country},
          {"adminArea", place.name + " Region"},
          {"subAdminArea", place.name + " District"},
          {"locality", place.name},
          {"subLocality", pick(kDistricts, hashOf(place, kDistrict))},
          {"thoroughfare", pick(kStreets, hashOf(place, kStreet))},
          {"streetNumber", streetNumber(place)},
          {"postalCode", postalCode(place)}};
}

std::string generatedFormatAddress(const Place& place) {
  return streetNumber(place) + " " + pick(kStreets, hashOf(place, kStreet)) + ", " +
         postalCode(place) + " " + place.name + ", " + place.country;
}

nlohmann::ordered_json generatedPoi(const Place& place, bool withChildren) {
  const std::uint64_t phone = hashOf(place, kPhone) % 1000000000;
  char local[24];
  std::snprintf(local, sizeof local, "%03llu %03llu %03llu",
                static_cast<unsigned long long>(phone / 1000000),
                static_cast<unsigned long long>(phone / 1000 % 1000),
                static_cast<unsigned long long>(phone % 1000));
  nlohmann::ordered_json photos = nlohmann::ordered_json::array();
  const std::uint64_t photoCount = 1 + hashOf(place, kPhotos) % 3;
  for (std::uint64_t i = 1; i <= photoCount; ++i) {
    photos.push_back("https://www.example.com/photos/" + place.siteId + "/" + std::to_string(i) +
                     ".jpg");
  }
  nlohmann::ordered_json poi = {
      {"poiTypes", placePoiTypes()},
      {"ovPoiTypes", placeOvPoiTypes()},
      {"phone", std::string("0") + local},
      {"internationalPhone", std::string("+999 ") + local},
      {"rating", static_cast<double>(10 + hashOf(place, kRating) % 41) / 10.0},
      {"websiteUrl", "https://www.example.com/places/" + place.siteId},
      {"openingHours", openingHours(place)},
      {"photoUrls", photos},
      {"priceLevel", 1 + hashOf(place, kPrice) % 4},
      {"businessStatus", hashOf(place, kStatus) % 10 == 0 ? "CLOSED_TEMPORARILY" : "OPEN"}};
  if (withChildren) poi["childrenNodes"] = children(place);
  return poi;
}

}  // namespace orvane::site::standin::detail
