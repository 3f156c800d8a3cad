#pragma once

#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// How much the library logs. Each level includes the ones before it: `error` logs failures only,
/// `info` adds the lines of every call (the default), `debug` adds detail such as cut and escaped
/// reply bodies of option clients. `off` logs nothing.
enum class LogLevel {
  /// Failures: a call that could not be sent, a reply with an error status, a handler that threw.
  error = 0,
  /// The lines of every call: URL (key masked), body parameters, reply; configuration changes.
  info = 1,
  /// Detail for finding faults, such as cut and escaped bodies of option clients.
  debug = 2,
  /// As a threshold: nothing is logged.
  off = 3,
};

/// Sets the process-wide threshold: lines above it are not even formatted. Thread-safe; takes
/// effect for lines logged after the call returns. The default is LogLevel::info.
ORVANE_SITE_EXPORT void setLogLevel(LogLevel level) noexcept;

/// The process-wide threshold. Thread-safe.
ORVANE_SITE_EXPORT LogLevel logLevel() noexcept;

/// The level word printed in log lines: "ERROR", "INFO", "DEBUG"; "OFF" for LogLevel::off.
ORVANE_SITE_EXPORT std::string_view logLevelName(LogLevel level) noexcept;

}  // namespace orvane::site
