#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "orvane/site/LogLevel.h"

namespace orvane::site {

/// One log event of the library, as a structured sink receives it (see setLogSink).
///
/// The views are valid only during the sink's call; copy what must be kept.
struct LogRecord {
  /// The line's level: error, info or debug.
  LogLevel level = LogLevel::info;
  /// The source file's base name, for example "SiteRequestManager".
  std::string_view source;
  /// The function or field, for example "generateSession(_:)".
  std::string_view function;
  /// The message; absent for lines that carry none.
  std::optional<std::string_view> message;
  /// When the line was logged (it may reach the sink a little later).
  std::chrono::system_clock::time_point time;
};

}  // namespace orvane::site
