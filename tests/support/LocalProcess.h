#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orvane::site::testing {

/// Whether something on 127.0.0.1 accepts a TCP connection on `port`: the sign that a server a
/// test started is up.
bool localPortAcceptsConnections(int port);

/// Starts `args[0]` (looked up on PATH) with its output thrown away; 0 when it cannot start.
pid_t spawnQuietly(std::vector<std::string> args);

}  // namespace orvane::site::testing
