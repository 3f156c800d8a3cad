#include "orvane/site/records/Coordinate.h"

#include <nlohmann/json.hpp>

#include "decoding/DecodeEntry.h"
#include "decoding/RecordTable.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site {
namespace decoding {

constexpr std::array kCoordinateFields{
    field<&Coordinate::lat>("lat"),
    field<&Coordinate::lng>("lng"),
};

bool readValue(element value, Coordinate& out, DecodeFailure& failure) {
  return readRecord<kCoordinateFields>(value, out, failure);
}

constexpr std::array kCoordinateBoundsFields{
    field<&CoordinateBounds::northeast>("northeast"),
    field<&CoordinateBounds::southwest>("southwest"),
};

bool readValue(element value, CoordinateBounds& out, DecodeFailure& failure) {
  return readRecord<kCoordinateBoundsFields>(value, out, failure);
}

}  // namespace decoding

nlohmann::json Coordinate::encode() const { return nlohmann::json{{"lat", lat}, {"lng", lng}}; }

std::optional<Coordinate> Coordinate::decode(std::string_view json, Error* error) {
  return decoding::decodeValue<Coordinate>(json, error);
}

std::optional<CoordinateBounds> CoordinateBounds::decode(std::string_view json, Error* error) {
  return decoding::decodeValue<CoordinateBounds>(json, error);
}

}  // namespace orvane::site
