#pragma once

#include <functional>

namespace orvane::site {

/// Runs a task somewhere: on a thread pool, an event loop, a UI thread. A client hands every
/// completion handler to its executor (see ClientOptions::setHandlerExecutor); the executor must
/// run each task exactly once, may run it on any thread, and must not run it inside the call that
/// hands it over. It is called on the library thread, so it must return quickly.
using Executor = std::function<void(std::function<void()> task)>;

}  // namespace orvane::site
