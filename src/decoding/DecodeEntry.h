#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "decoding/DecodeFailure.h"
#include "decoding/RecordArena.h"
#include "decoding/ReplyParser.h"
#include "decoding/ValueReaders.h"
#include "orvane/site/Error.h"
#include "orvane/site/Result.h"

namespace orvane::site::decoding {

/// Builds the Error for a decode that ran out of memory.
Error outOfMemoryError();

/// Parses `json` and reads its root into `record`. Never throws.
template <class T>
bool decodeInto(std::string_view json, T& record, Error& error, bool padded = false) noexcept {
  try {
    DecodeFailure failure;
    ReplyParser parser;
    RecordArena arena;
    simdjson::dom::element root;
    if (parser.parse(json, root, failure, padded) && readValue(root, record, failure)) return true;
    error = failure.toError();
  } catch (...) {  // std::bad_alloc: an absurd reply must not take the caller down
    error = outOfMemoryError();
  }
  return false;
}

/// Decodes a whole reply into a response record held by std::shared_ptr.
template <class T>
Result<T> decodeReply(std::string_view json, bool padded = false) noexcept {
  Error error;
  try {
    auto record = std::make_shared<T>();
    if (decodeInto(json, *record, error, padded)) return Result<T>(std::move(record));
  } catch (...) {
    error = outOfMemoryError();
  }
  return Result<T>(std::move(error));
}

/// Decodes a JSON text holding one value record (Coordinate, Word, ...).
template <class T>
std::optional<T> decodeValue(std::string_view json, Error* error) noexcept {
  Error failure;
  try {
    std::optional<T> value(EmptyValue<T>::make());
    if (decodeInto(json, *value, failure)) return value;
  } catch (...) {
    failure = outOfMemoryError();
  }
  if (error != nullptr) *error = std::move(failure);
  return std::nullopt;
}

}  // namespace orvane::site::decoding
