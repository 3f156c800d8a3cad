#include "orvane/site/standin/dataset.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "stable_hash.h"

namespace orvane::site::standin {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// One ISO 6709 component: sign, `degreeDigits` digits of degrees, minutes, optional seconds.
bool parseAngle(const std::string& text, std::size_t degreeDigits, double& out) {
  const std::size_t digits = text.size() - 1;
  if ((digits != degreeDigits + 2 && digits != degreeDigits + 4) ||
      (text[0] != '+' && text[0] != '-')) {
    return false;
  }
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const double degrees = std::stod(text.substr(1, degreeDigits));
  const double minutes = std::stod(text.substr(1 + degreeDigits, 2));
  const double seconds = digits > degreeDigits + 2 ? std::stod(text.substr(3 + degreeDigits)) : 0;
  out = (text[0] == '-' ? -1 : 1) * (degrees + minutes / 60 + seconds / 3600);
  return true;
}

// "+4852+00220" or "+404251-0740023": latitude then longitude.
bool parseIso6709(const std::string& text, double& lat, double& lng) {
  const std::size_t split = text.find_first_of("+-", 1);
  return split != std::string::npos && parseAngle(text.substr(0, split), 2, lat) &&
         parseAngle(text.substr(split), 3, lng);
}

std::string hexId(std::uint64_t value) {
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
  return buffer;
}

std::map<std::string, std::string> readCountryNames(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path.string() + " (install iso-codes)");
  const nlohmann::json table = nlohmann::json::parse(in, nullptr, false);
  if (!table.is_object() || !table.contains("3166-1") || !table["3166-1"].is_array()) {
    throw std::runtime_error(path.string() + " is not iso-codes' ISO 3166-1 table");
  }
  std::map<std::string, std::string> names;
  for (const auto& entry : table["3166-1"]) {
    if (!entry.is_object()) continue;
    const auto code = entry.find("alpha_2");
    // The common name, where iso-codes has one, is the name people search for.
    auto name = entry.find("common_name");
    if (name == entry.end()) name = entry.find("name");
    if (code != entry.end() && code->is_string() && name != entry.end() && name->is_string()) {
      names[code->get<std::string>()] = name->get<std::string>();
    }
  }
  return names;
}

}  // namespace

Dataset Dataset::load(const std::filesystem::path& zoneTable,
                      const std::filesystem::path& countryTable) {
  const std::map<std::string, std::string> countries = readCountryNames(countryTable);
  std::ifstream in(zoneTable);
  if (!in) throw std::runtime_error("cannot read " + zoneTable.string() + " (install tzdata)");

  Dataset dataset;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> columns = split(line, '\t');
    Place place;
    if (columns.size() < 3 || !parseIso6709(columns[1], place.lat, place.lng)) {
      throw std::runtime_error(zoneTable.string() + ":" + std::to_string(lineNumber) +
                               ": not a zone row");
    }
    std::vector<std::string> codes = split(columns[0], ',');
    if (codes.empty()) continue;
    place.countryCode = codes.front();
    place.otherCountryCodes.assign(codes.begin() + 1, codes.end());
    const auto country = countries.find(place.countryCode);
    place.country = country != countries.end() ? country->second : place.countryCode;
    place.zoneId = columns[2];
    place.name = place.zoneId.substr(place.zoneId.rfind('/') + 1);
    for (char& c : place.name) {
      if (c == '_') c = ' ';
    }
    place.siteId = hexId(detail::stableHash(place.zoneId));
    dataset.bySiteId_[place.siteId] = dataset.places_.size();
    dataset.byZone_[place.zoneId] = dataset.places_.size();
    dataset.places_.push_back(std::move(place));
  }
  if (dataset.places_.empty()) throw std::runtime_error(zoneTable.string() + " lists no zone");
  return dataset;
}

const Dataset& Dataset::system() {
  static const Dataset* instance = new Dataset(load(kZoneTable, kCountryTable));
  return *instance;
}

const Place* Dataset::findBySiteId(const std::string& siteId) const {
  auto found = bySiteId_.find(siteId);
  return found == bySiteId_.end() ? nullptr : &places_[found->second];
}

const Place* Dataset::findByZone(const std::string& zoneId) const {
  auto found = byZone_.find(zoneId);
  return found == byZone_.end() ? nullptr : &places_[found->second];
}

}  // namespace orvane::site::standin
