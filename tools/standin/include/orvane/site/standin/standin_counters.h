#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace orvane::site::standin {

/// A snapshot of what one stand-in server has seen since it started or since its last
/// `resetCounters()`. Every request is counted, refused ones and faulty ones included.
struct StandinCounters {
  std::int64_t requests = 0;  ///< requests received, whatever the path or method
  std::map<std::string, std::int64_t> requestsByPath;  ///< by decoded path
  std::map<std::string, std::int64_t> requestsByKey;   ///< by "key" parameter; "" when missing
  /// TLS connections that completed a handshake: with connection reuse this stays below
  /// `requests`.
  std::int64_t connections = 0;
};

}  // namespace orvane::site::standin
