#pragma once

#include <chrono>

#include "orvane/site/Export.h"

namespace orvane::site {

/// Ends the library before the application does: stops accepting calls of option clients,
/// waits up to `grace` for those under way, cancels the rest (each handler is still called
/// once, with TransportErrorCode::cancelled), then stops and joins the library thread and closes
/// its connections. Facade exchanges still running then end with a transport failure (their
/// handlers run before the thread ends).
///
/// Afterwards every call fails at once: option clients' handlers get
/// TransportErrorCode::libraryShutDown, facade handlers a transport failure, each on a
/// short-lived thread (never inside the operation call). Thread-safe; a second call does
/// nothing more. Called from a handler, it cannot wait for the library thread it runs on: it
/// then only asks that thread to end.
ORVANE_SITE_EXPORT void shutdown(std::chrono::nanoseconds grace);

}  // namespace orvane::site
