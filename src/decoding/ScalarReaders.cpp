#include <cstdio>
#include <string>

#include "decoding/RecordTable.h"
#include "decoding/ValueReaders.h"

// The fault reports of the readers: only reached on the failure path.

namespace orvane::site::decoding {
namespace {

std::string kindOf(element value) {
  switch (value.type()) {
    case element_type::ARRAY:
      return "an array";
    case element_type::OBJECT:
      return "an object";
    case element_type::STRING:
      return "a string";
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return "a number";
    case element_type::BOOL:
      return "a boolean";
    case element_type::NULL_VALUE:
      return "null";
  }
  return "an unknown value";
}

std::string numberText(element value) {
  if (value.type() == element_type::UINT64) {
    return std::to_string(value.get_uint64().value_unsafe());
  }
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.17g", value.get_double().value_unsafe());
  return text;
}

}  // namespace

void failKind(const char* expected, element value, DecodeFailure& failure) {
  failure.fail(DecodingErrorCode::typeMismatch, std::string("Expected to decode ") + expected +
                                                    " but found " + kindOf(value) + " instead.");
}

void failIntegerRange(element value, DecodeFailure& failure) {
  failure.fail(DecodingErrorCode::dataCorrupted,
               "Parsed JSON number <" + numberText(value) + "> does not fit in Int64.");
}

void failNullElement(DecodeFailure& failure) {
  failure.fail(DecodingErrorCode::valueNotFound,
               "Expected a value in the list but found null instead.");
}

namespace table_detail {

void failMissing(std::string_view key, bool present, DecodeFailure& failure) {
  if (present) {
    failure.fail(
        DecodingErrorCode::valueNotFound,
        "Expected a value for required key \"" + std::string(key) + "\" but found null instead.");
  } else {
    failure.fail(DecodingErrorCode::keyNotFound,
                 "No value associated with key \"" + std::string(key) + "\".");
  }
  failure.prependKey(key);
}

void failNotObject(element value, DecodeFailure& failure) {
  if (value.is_null()) {  // only a whole reply reaches a record reader as null
    failure.fail(DecodingErrorCode::valueNotFound,
                 "Expected to decode an object but found null instead.");
    return;
  }
  failKind("an object", value, failure);
}

}  // namespace table_detail
}  // namespace orvane::site::decoding
