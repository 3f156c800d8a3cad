#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::site::testing {

/// One request as the local server received it.
struct ReceivedRequest {
  std::string method;
  /// Path and query exactly as they came on the request line.
  std::string target;
  std::string body;
  /// Header fields with lower-case names.
  std::multimap<std::string, std::string> headers;
  /// The client's port: one per connection.
  int remotePort = 0;

  /// The first value of header `lowerCaseName`, if any.
  std::optional<std::string> header(const std::string& lowerCaseName) const;
};

/// What the local server answers to one request.
struct ScriptedReply {
  int status = 200;
  std::string body;
  /// Hold the request without answering until the server is destroyed.
  bool neverAnswer = false;
};

/// A real HTTPS server (cpp-httplib with OpenSSL) on 127.0.0.1 and a free port, answering every
/// request of any method and path with its script. The script runs on the server's threads and
/// gets the request and its zero-based number. Stops in the destructor.
class LocalHttpsServer {
 public:
  using Script = std::function<ScriptedReply(const ReceivedRequest& request, std::size_t index)>;

  /// Serves with the server certificate and key given as PEM. Fails the test when it cannot.
  /// `workerThreads` above 0 sets how many requests it serves at once (default: the HTTP
  /// library's own pool size).
  LocalHttpsServer(const std::string& certificatePem, const std::string& privateKeyPem,
                   Script script, std::size_t workerThreads = 0);
  ~LocalHttpsServer();

  LocalHttpsServer(const LocalHttpsServer&) = delete;
  LocalHttpsServer& operator=(const LocalHttpsServer&) = delete;

  int port() const;
  /// "127.0.0.1:<port>", the form a request manager takes as host.
  std::string host() const;

  std::vector<ReceivedRequest> requests() const;
  std::size_t requestCount() const;
  /// How many connections the received requests came over.
  std::size_t connectionCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// A port on 127.0.0.1 on which nothing listens (bound, then released).
int unusedLocalPort();

}  // namespace orvane::site::testing
