#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvane::site::testkit {

/// A TCP connection to `port` on 127.0.0.1 whose reads give up after 2 s; -1 when refused.
int connectToLocalPort(int port);

/// Whether something on 127.0.0.1 accepts a TCP connection on `port`: the sign that a server a
/// test started is up.
bool localPortAcceptsConnections(int port);

/// A port on 127.0.0.1 on which nothing listens (bound, then released).
int unusedLocalPort();

/// Where a started process reads and writes: file paths, "/dev/null" by default.
struct Redirections {
  std::string in = "/dev/null";
  std::string out = "/dev/null";
  std::string err = "/dev/null";
};

/// Starts `args[0]` (looked up on PATH) with `redirections`, and the test's environment less
/// any variable named in `unset`; 0 when it cannot start.
pid_t spawnProcess(std::vector<std::string> args, const Redirections& redirections = {},
                   const std::vector<std::string>& unset = {});

/// How a process ended.
struct ProcessEnd {
  int exitCode = -1;  ///< -1 unless it exited
  int signal = 0;     ///< the signal that ended it, if one did
  long peakRssKiB = 0;
};

/// Waits for `pid`; kills it and fails the test when it runs longer than `limit`.
ProcessEnd waitForProcess(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(300));

}  // namespace orvane::site::testkit
