#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::site::standin::detail {

/// One injected misbehaviour. The grammar is in tools/standin/README.md.
struct Fault {
  enum class Kind {
    kServerErrors,  // 5xx-N[-S]: the first N requests of the scope get status S (default 503)
    kDelay,         // delay-MS: wait before answering
    kRetryAfter,    // retryafter-S: a Retry-After header of S seconds on whatever reply goes out
    kStatus,        // status-S[-RC]: error envelope with status S and returnCode RC
    kNoCode,        // nocode[-S]: envelope without "returnCode"
    kNoDesc,        // nodesc[-S]: envelope without "returnDesc"
    kNoBody,        // nobody[-S]: status S, empty body
    kNotJson,       // notjson[-S]: a body that is not JSON
    kNotUtf8,       // notutf8[-S]: a JSON-looking body with bytes that are not UTF-8
    kCutShort,      // cut: Content-Length promises the whole reply, half is sent, then close
    kTruncated,     // truncated[-S]: the reply's JSON cut in half, with a matching length
    kEmpty,         // empty[-S]: status S (default 200) with an empty body
    kDrop,          // drop: close the connection without any reply
  };

  Kind kind = Kind::kStatus;
  int status = 0;
  std::int64_t count = 0;    // kServerErrors
  std::int64_t millis = 0;   // kDelay
  std::int64_t seconds = 0;  // kRetryAfter
  std::string returnCode;    // kStatus
  std::string text;          // the token as written, for messages and countdown scopes
};

/// Parses one token such as "5xx-3" or "delay-200" (a leading "fault-" is allowed). Throws
/// std::invalid_argument with a message for an unknown or malformed token.
Fault parseFault(std::string_view token);

/// Parses the value of the X-Standin-Fault header: tokens separated by commas or spaces.
std::vector<Fault> parseFaultHeader(std::string_view value);

/// An API key split into the key proper and the faults it carries.
struct KeyFaults {
  std::string baseKey;
  std::vector<Fault> faults;
};

/// Splits "<base>.fault-<token>...[.tag-<text>]" at its first ".fault-" or ".tag-" segment.
/// Throws std::invalid_argument when a segment after it is neither.
KeyFaults splitKey(const std::string& key);

}  // namespace orvane::site::standin::detail
