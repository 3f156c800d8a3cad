#include "connection_registry.h"

#include <sys/socket.h>

#include <stdexcept>

namespace orvane::site::standin::detail {
namespace {

// What a registered connection carries in its SSL object's extra data.
struct Mark {
  ConnectionRegistry* registry;
  int fd;
};

int contextIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

}  // namespace

int ConnectionRegistry::connectionIndex() {
  // One index for every server; the free callback runs for each SSL object of the process and
  // ignores those that carry no mark (client connections, other libraries).
  static const int index =
      SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, &ConnectionRegistry::onFree);
  return index;
}

void ConnectionRegistry::attach(SSL_CTX* ctx) {
  if (contextIndex() < 0 || connectionIndex() < 0 ||
      SSL_CTX_set_ex_data(ctx, contextIndex(), this) != 1) {
    throw std::runtime_error("orvane-site-standin: cannot attach connection tracking");
  }
  SSL_CTX_set_info_callback(ctx, &ConnectionRegistry::onInfo);
}

void ConnectionRegistry::onInfo(const SSL* ssl, int where, int /*ret*/) {
  // TLS 1.3 reports HANDSHAKE_DONE again for post-handshake messages; the mark counts a
  // connection once.
  if ((where & SSL_CB_HANDSHAKE_DONE) == 0) return;
  const int index = connectionIndex();
  if (SSL_get_ex_data(ssl, index) != nullptr) return;
  auto* registry =
      static_cast<ConnectionRegistry*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
  if (registry != nullptr) registry->opened(const_cast<SSL*>(ssl));
}

void ConnectionRegistry::onFree(void*, void* ptr, CRYPTO_EX_DATA*, int, long, void*) {
  auto* mark = static_cast<Mark*>(ptr);
  if (mark == nullptr) return;
  mark->registry->closed(mark->fd);
  delete mark;
}

void ConnectionRegistry::opened(SSL* ssl) {
  const int fd = SSL_get_fd(ssl);
  auto* mark = new Mark{this, fd};
  if (SSL_set_ex_data(ssl, connectionIndex(), mark) != 1) {
    delete mark;
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++accepted_;
  if (fd < 0) return;
  if (closing_) {
    ::shutdown(fd, SHUT_RDWR);
    return;
  }
  open_.insert(fd);
}

void ConnectionRegistry::closed(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(fd);
}

std::int64_t ConnectionRegistry::accepted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_;
}

void ConnectionRegistry::resetCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  accepted_ = 0;
}

void ConnectionRegistry::closeAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  closing_ = true;
  for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace orvane::site::standin::detail
