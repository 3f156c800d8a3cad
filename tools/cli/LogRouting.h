#pragma once

namespace orvane::site::cli {

/// Takes the library's log lines off standard output, which carries only results: with
/// `verbose` they go to standard error, otherwise they are dropped. Call before any other use
/// of the library, since configuring it already logs.
void routeLibraryLog(bool verbose);

}  // namespace orvane::site::cli
