#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace orvane::site::testkit {

/// A real redis-server on 127.0.0.1 at a free port, with its own temporary directory (no
/// persistence), started by the constructor and stopped by the destructor. Fails the running
/// test when the server cannot start.
class RedisServer {
 public:
  /// `extraArguments` go to redis-server's command line as they are (for example
  /// {"--requirepass", "secret"}).
  explicit RedisServer(std::vector<std::string> extraArguments = {});
  ~RedisServer();

  RedisServer(const RedisServer&) = delete;
  RedisServer& operator=(const RedisServer&) = delete;

  int port() const { return port_; }
  /// The Unix socket the server also listens on.
  std::string unixSocket() const { return directory_ + "/redis.sock"; }

  /// Stops the server (SIGTERM, then waits for it).
  void stop();
  /// Starts it again on the same port; returns once it answers PING.
  void start();

  /// Sends one command over a fresh connection and returns the reply's first line as Redis sent
  /// it ("+OK", ":1", "-ERR ...", "$3" ...). Authenticates with `password` when it is set.
  std::string command(const std::vector<std::string>& words,
                      const std::string& password = {}) const;

 private:
  bool answersPing() const;

  std::vector<std::string> extraArguments_;
  std::string directory_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace orvane::site::testkit
