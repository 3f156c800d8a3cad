#pragma once

#include <simdjson.h>

#include <string_view>

#include "decoding/DecodeFailure.h"

namespace orvane::site::decoding {

/// Parses one reply with the calling thread's reusable parser.
///
/// The root stays valid while this object lives; no other reply may be parsed on the same
/// thread meanwhile (decoding never nests). On destruction, a parser grown past a few megabytes
/// by an unusually large reply gives its memory back.
class ReplyParser {
 public:
  ReplyParser() = default;
  ReplyParser(const ReplyParser&) = delete;
  ReplyParser& operator=(const ReplyParser&) = delete;
  ~ReplyParser();

  /// Parses `json`; on invalid JSON (empty, malformed, invalid UTF-8, trailing data, too deep)
  /// reports dataCorrupted with an empty coding path and returns false. With `padded`, the
  /// caller guarantees that simdjson::SIMDJSON_PADDING allocated bytes follow the text, and the
  /// parser reads it in place instead of copying it.
  bool parse(std::string_view json, simdjson::dom::element& root, DecodeFailure& failure,
             bool padded = false);
};

}  // namespace orvane::site::decoding
