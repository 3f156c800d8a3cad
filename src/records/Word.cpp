#include "orvane/site/records/Word.h"

#include <nlohmann/json.hpp>

#include "decoding/DecodeEntry.h"
#include "decoding/RecordTable.h"

namespace orvane::site {
namespace decoding {

constexpr std::array kWordFields{
    field<&Word::offset>("offset"),
    field<&Word::value>("value"),
};

bool readValue(element value, Word& out, DecodeFailure& failure) {
  return readRecord<kWordFields>(value, out, failure);
}

}  // namespace decoding

nlohmann::json Word::encode() const {
  nlohmann::json object = nlohmann::json::object();
  if (offset) object["offset"] = *offset;
  if (value) object["value"] = *value;
  return object;
}

std::optional<Word> Word::decode(std::string_view json, Error* error) {
  return decoding::decodeValue<Word>(json, error);
}

}  // namespace orvane::site
