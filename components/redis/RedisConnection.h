#pragma once

#include <chrono>
#include <string>
#include <vector>

struct redisContext;

namespace orvane::site::redis {

/// Where and how to reach Redis.
struct ConnectionSettings {
  std::string host;
  int port = 0;
  std::string unixSocket;
  std::string user;
  std::string password;
  int database = 0;
  std::chrono::milliseconds connectTimeout{0};
};

/// One reply of a pipelined command, reduced to what the limiter reads.
struct Reply {
  enum class Kind { integer, text, error, other };
  Kind kind = Kind::other;
  long long integer = 0;
  std::string text;
};

/// A synchronous hiredis connection, used by the limiter's own thread only. Every exchange has a
/// deadline; after any failure the connection is closed and must be opened again.
class RedisConnection {
 public:
  RedisConnection() = default;
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;
  RedisConnection(RedisConnection&&) = delete;
  RedisConnection& operator=(RedisConnection&&) = delete;

  /// Connects, authenticates and selects the database within the connect time-out. On failure
  /// returns false and sets `error` (never holding the password).
  bool open(const ConnectionSettings& settings, std::string& error);

  bool isOpen() const noexcept { return context_ != nullptr; }

  /// True when the last failure was a time-out (Redis slow or gone silent), false when the
  /// connection broke or was refused.
  bool timedOut() const noexcept { return timedOut_; }

  void close() noexcept;

  /// Sends every command at once and reads one reply per command, each within `timeout` of the
  /// one before.
  /// Error replies are replies; a broken or slow connection returns false, sets `error` and
  /// closes the connection.
  bool pipeline(const std::vector<std::vector<std::string>>& commands,
                std::chrono::milliseconds timeout, std::vector<Reply>& replies, std::string& error);

 private:
  bool fail(std::string what, std::string& error);
  bool readReply(std::chrono::steady_clock::time_point deadline, Reply& reply, std::string& error);

  redisContext* context_ = nullptr;
  bool timedOut_ = false;
};

}  // namespace orvane::site::redis
