#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::site::internal {

/// The library's one logger, named "OrvaneSite". Lines look like
/// "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: ..." and go to the
/// installed LogSink, by default standard output. Safe to call from any thread.
class Logger {
 public:
  static Logger& shared();

  const std::string& name() const noexcept { return name_; }

  /// Writes one line. `file` is a source path (absolute, relative or bare); only its base name
  /// is printed. Without a message the line ends with the level word.
  void log(std::string_view file, std::string_view function,
           const std::optional<std::string_view>& message, std::string_view level) const;

  /// The line `log` writes, without the line feed.
  std::string formatLine(std::string_view file, std::string_view function,
                         const std::optional<std::string_view>& message,
                         std::string_view level) const;

  /// The base name of a source path: the last "/"-separated piece, cut before its first ".".
  static std::string_view baseName(std::string_view path) noexcept;

 private:
  Logger() = default;
  std::string name_ = "OrvaneSite";
};

inline constexpr std::string_view kInfo = "INFO";
inline constexpr std::string_view kError = "ERROR";

}  // namespace orvane::site::internal

/// Logs from the current source file, so that the line names the file the event comes from.
#define ORVANE_SITE_LOG(function, message, level) \
  ::orvane::site::internal::Logger::shared().log(__FILE__, (function), (message), (level))
