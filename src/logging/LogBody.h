#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "logging/Logger.h"

namespace orvane::site::internal {

/// Bodies logged at debug are cut after this many bytes.
inline constexpr std::size_t kLoggedBodyLimit = 1024;

/// The text of a body as a debug line shows it: at most `limit` bytes of it (never splitting a
/// UTF-8 sequence), every occurrence of `secret` masked as "****", control characters, line
/// separators, backslashes and malformed UTF-8 escaped ("\n", "\u2028", "\xff", "\\"), so that a
/// body can never start a line of its own; a cut body ends with "...(cut, N bytes in all)".
std::string logTextOfBody(std::string_view body, std::string_view secret = {},
                          std::size_t limit = kLoggedBodyLimit);

}  // namespace orvane::site::internal

/// Logs `label` followed by the loggable text of `body` at debug. Builds nothing (not even the
/// text) unless debug lines are wanted. For request and reply bodies of option clients; `secret`
/// (the API key) is masked.
#define ORVANE_SITE_LOG_BODY(function, label, body, secret)                               \
  do {                                                                                    \
    if (::orvane::site::internal::Logger::enabled(::orvane::site::internal::kDebug)) {    \
      ::orvane::site::internal::Logger::shared().log(                                     \
          __FILE__, (function),                                                           \
          std::string(label) + ::orvane::site::internal::logTextOfBody((body), (secret)), \
          ::orvane::site::internal::kDebug);                                              \
    }                                                                                     \
  } while (false)
