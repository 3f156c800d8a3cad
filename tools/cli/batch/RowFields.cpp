#include "RowFields.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace orvane::site::cli::batch {
namespace {

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string shortText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

Coordinate checkedPosition(double lat, double lng) {
  if (lat < -90 || lat > 90) throw BadRow("lat " + shortText(lat) + " is not in -90..90");
  if (lng < -180 || lng > 180) throw BadRow("lng " + shortText(lng) + " is not in -180..180");
  return Coordinate(lat, lng);
}

}  // namespace

void ColumnMap::add(const std::string& assignment, const std::vector<std::string>& known) {
  const auto equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == assignment.size()) {
    throw std::invalid_argument("--column takes FIELD=NAME, not \"" + assignment + "\"");
  }
  const std::string field = assignment.substr(0, equals);
  bool isKnown = false;
  std::string list;
  for (const auto& name : known) {
    isKnown = isKnown || name == field;
    list += (list.empty() ? "" : ", ") + name;
  }
  if (!isKnown) {
    throw std::invalid_argument("--column: this operation has no field \"" + field +
                                "\" (fields: " + list + ")");
  }
  columns_[field] = assignment.substr(equals + 1);
}

const std::string& ColumnMap::column(const std::string& field) const {
  const auto found = columns_.find(field);
  return found == columns_.end() ? field : found->second;
}

std::optional<std::string> RowFields::text(const std::string& field) const {
  const auto found = values_.find(columns_.column(field));
  if (found == values_.end() || found->is_null()) return std::nullopt;
  std::string value = found->is_string() ? found->get<std::string>() : found->dump();
  if (value.empty()) return std::nullopt;
  return value;
}

std::string RowFields::requiredText(const std::string& field) const {
  auto value = text(field);
  if (!value) throw BadRow("missing " + field + " (column \"" + columns_.column(field) + "\")");
  return *value;
}

std::optional<double> RowFields::number(const std::string& field) const {
  const auto value = text(field);
  if (!value) return std::nullopt;
  const auto parsed = parseNumber(*value);
  if (!parsed) throw BadRow(field + " \"" + *value + "\" is not a number");
  return parsed;
}

std::optional<std::int64_t> RowFields::integer(const std::string& field) const {
  const auto value = text(field);
  if (!value) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(value->c_str(), &end, 10);
  if (errno != 0 || end != value->c_str() + value->size() ||
      std::isspace(static_cast<unsigned char>(value->front()))) {
    throw BadRow(field + " \"" + *value + "\" is not a whole number");
  }
  return static_cast<std::int64_t>(parsed);
}

std::optional<Coordinate> RowFields::optionalPosition() const {
  const auto lat = number("lat");
  const auto lng = number("lng");
  if (lat && lng) return checkedPosition(*lat, *lng);
  if (lat || lng) throw BadRow(lat ? "missing lng" : "missing lat");
  const auto position = text("position");
  if (!position) return std::nullopt;
  const auto comma = position->find(',');
  const auto latPart = parseNumber(trimmed(position->substr(0, comma)));
  const auto lngPart =
      comma == std::string::npos ? std::nullopt : parseNumber(trimmed(position->substr(comma + 1)));
  if (!latPart || !lngPart) throw BadRow("position \"" + *position + "\" is not LAT,LNG");
  return checkedPosition(*latPart, *lngPart);
}

Coordinate RowFields::position() const {
  const auto position = optionalPosition();
  if (!position) throw BadRow("missing lat and lng");
  return *position;
}

}  // namespace orvane::site::cli::batch
