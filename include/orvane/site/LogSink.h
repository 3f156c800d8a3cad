#pragma once

#include <functional>
#include <string_view>

#include "orvane/site/Export.h"

namespace orvane::site {

/// Receives each finished log line of the library, without its trailing line feed.
///
/// The sink is called on whatever thread logs (the caller's thread or the library thread
/// "orvane-site-services"), possibly from several threads at once, so it must be thread-safe.
/// It must not call back into the library's logging.
using LogSink = std::function<void(std::string_view line)>;

/// Directs the library's log lines to `sink`; an empty function restores the default, which
/// writes each line and a line feed to standard output with one write. Thread-safe; lines logged
/// after the call returns go to the new sink.
ORVANE_SITE_EXPORT void setLogSink(LogSink sink);

}  // namespace orvane::site
