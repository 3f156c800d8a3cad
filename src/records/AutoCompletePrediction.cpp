#include "orvane/site/records/AutoCompletePrediction.h"

#include <nlohmann/json.hpp>

#include "decoding/DecodeEntry.h"
#include "decoding/RecordTable.h"

namespace orvane::site {
namespace decoding {

constexpr std::array kAutoCompletePredictionFields{
    field<&AutoCompletePrediction::description>("description"),
    field<&AutoCompletePrediction::matchedKeywords>("matchedKeywords"),
    field<&AutoCompletePrediction::matchedWords>("matchedWords"),
};

bool readValue(element value, AutoCompletePrediction& out, DecodeFailure& failure) {
  return readRecord<kAutoCompletePredictionFields>(value, out, failure);
}

}  // namespace decoding

namespace {

nlohmann::json encodeWords(const std::vector<Word>& words) {
  nlohmann::json list = nlohmann::json::array();
  for (const Word& word : words) list.push_back(word.encode());
  return list;
}

}  // namespace

nlohmann::json AutoCompletePrediction::encode() const {
  nlohmann::json object = nlohmann::json::object();
  if (description) object["description"] = *description;
  object["matchedKeywords"] = encodeWords(matchedKeywords);
  object["matchedWords"] = encodeWords(matchedWords);
  return object;
}

std::optional<AutoCompletePrediction> AutoCompletePrediction::decode(std::string_view json,
                                                                     Error* error) {
  return decoding::decodeValue<AutoCompletePrediction>(json, error);
}

}  // namespace orvane::site
