#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <mutex>
#include <set>

namespace orvane::site::standin::detail {

/// Follows the TLS connections of one server through OpenSSL callbacks: counts those that
/// complete a handshake and knows which sockets are open, so that stopping the server can close
/// idle kept-alive connections at once instead of waiting for their time-out.
///
/// A socket is forgotten when its SSL object is freed, which the server does before closing the
/// socket, so a registered descriptor always still belongs to its connection.
class ConnectionRegistry {
 public:
  ConnectionRegistry() = default;
  ConnectionRegistry(const ConnectionRegistry&) = delete;
  ConnectionRegistry& operator=(const ConnectionRegistry&) = delete;

  /// Installs the callbacks on `ctx`. The registry must outlive every connection made from it.
  void attach(SSL_CTX* ctx);

  std::int64_t accepted() const;
  void resetCount();

  /// Shuts down every open connection, and from now on each new one as soon as it opens.
  void closeAll();

 private:
  static int connectionIndex();
  static void onInfo(const SSL* ssl, int where, int ret);
  static void onFree(void* parent, void* ptr, CRYPTO_EX_DATA* data, int index, long argl,
                     void* argp);
  void opened(SSL* ssl);
  void closed(int fd);

  mutable std::mutex mutex_;
  std::set<int> open_;
  std::int64_t accepted_ = 0;
  bool closing_ = false;
};

}  // namespace orvane::site::standin::detail
