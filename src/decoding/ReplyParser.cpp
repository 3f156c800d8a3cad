#include "decoding/ReplyParser.h"

#include <cstddef>
#include <string>

namespace orvane::site::decoding {
namespace {

// Replies up to this size keep the parser's buffers for the next reply on the thread.
constexpr std::size_t kRetainedCapacity = std::size_t{8} << 20;

simdjson::dom::parser& threadParser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

}  // namespace

ReplyParser::~ReplyParser() {
  simdjson::dom::parser& parser = threadParser();
  if (parser.capacity() > kRetainedCapacity) parser = simdjson::dom::parser();
}

bool ReplyParser::parse(std::string_view json, simdjson::dom::element& root, DecodeFailure& failure,
                        bool padded) {
  // An empty view may carry a null pointer, which the parser would hand to memcpy.
  if (json.empty()) {
    failure.fail(DecodingErrorCode::dataCorrupted,
                 "The given data was not valid JSON: the reply is empty.");
    return false;
  }
  // Unless the caller's buffer is padded, the parser copies the text into its own.
  const simdjson::error_code code =
      threadParser().parse(json.data(), json.size(), !padded).get(root);
  if (code == simdjson::SUCCESS) return true;
  failure.fail(DecodingErrorCode::dataCorrupted,
               std::string("The given data was not valid JSON: ") + simdjson::error_message(code));
  return false;
}

}  // namespace orvane::site::decoding
