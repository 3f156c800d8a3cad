#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "orvane/site/Export.h"
#include "orvane/site/LogLevel.h"
#include "orvane/site/LogRecord.h"

namespace orvane::site {

/// Receives each finished log line of the library, without its trailing line feed, for example
/// "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: ...".
///
/// Sinks are called on the logger's own thread "orvane-site-log", one line at a time and in the
/// order the lines were logged, never on the library thread: a slow sink delays only the log.
/// It must not call back into the library's logging (flushLogs included).
using LogSink = std::function<void(std::string_view line)>;

/// Receives each log event of the library with its parts apart (level, source, function,
/// message), on the same thread and with the same rules as a LogSink.
using LogRecordSink = std::function<void(const LogRecord& record)>;

/// Directs the library's log lines to `sink`; an empty function restores the default, which
/// writes each line and a line feed to standard output with one write.
///
/// Every thread hands its lines to a bounded queue that the logger's own thread writes to the
/// sink: a line is never written on the thread that logs it, so neither the library thread nor
/// an application thread ever waits for a sink or for standard output. When the queue is full
/// (a sink or a pipe that does not keep up), further lines are dropped and counted (see
/// droppedLogLines) until there is room again. Lines logged by one thread keep their order.
///
/// Thread-safe; lines logged before the call returns go to the sink that was installed when they
/// were logged, lines logged after it to the new one.
ORVANE_SITE_EXPORT void setLogSink(LogSink sink);

/// Directs the library's log events to a structured `sink`; an empty function restores the
/// default. Otherwise the same as the LogSink overload.
ORVANE_SITE_EXPORT void setLogSink(LogRecordSink sink);

/// Restores the default sink (standard output).
ORVANE_SITE_EXPORT void setLogSink(std::nullptr_t);

/// Waits until every line logged before the call has been handed to its sink, at most
/// `timeout`. Returns true when they all have. Lines are also flushed at normal process exit
/// (for a bounded time, so that an unread pipe cannot hold the exit up). On the library thread,
/// and from inside a sink, it does not wait: it returns whether nothing is pending.
ORVANE_SITE_EXPORT bool flushLogs(std::chrono::nanoseconds timeout = std::chrono::seconds(5));

/// Writes one line through the library's log, as the library writes its own: the same format
/// ("[OrvaneSite][<source>.<function>] <LEVEL>: <message>", `source` being the base name of a
/// file path), the same level threshold and the same non-blocking queue. Meant for components
/// and extensions (a transport, a rate limiter) whose lines belong beside the library's. Never
/// blocks; thread-safe.
ORVANE_SITE_EXPORT void writeLog(LogLevel level, std::string_view source, std::string_view function,
                                 std::string_view message) noexcept;

/// How many log lines have been dropped so far because the queue was full.
ORVANE_SITE_EXPORT std::uint64_t droppedLogLines() noexcept;

}  // namespace orvane::site
