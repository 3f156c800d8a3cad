#include "support/LocalHttpsServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace orvane::site::testing {
namespace {

// Bounds the wait of a request that is never answered, should a test forget to stop it.
constexpr auto kLongestHold = std::chrono::seconds(30);

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::optional<std::string> ReceivedRequest::header(const std::string& lowerCaseName) const {
  auto found = headers.find(lowerCaseName);
  if (found == headers.end()) return std::nullopt;
  return found->second;
}

struct LocalHttpsServer::Impl {
  std::unique_ptr<httplib::SSLServer> server;
  std::thread thread;
  int port = 0;
  Script script;

  mutable std::mutex mutex;
  std::condition_variable stopped;
  bool stopping = false;
  std::vector<ReceivedRequest> requests;

  void handle(const httplib::Request& in, httplib::Response& out) {
    ReceivedRequest request;
    request.method = in.method;
    request.target = in.target;
    request.body = in.body;
    request.remotePort = in.remote_port;
    for (const auto& [name, value] : in.headers) request.headers.emplace(lowerCase(name), value);
    std::size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      index = requests.size();
      requests.push_back(request);
    }
    const ScriptedReply reply = script(request, index);
    if (reply.neverAnswer) {
      std::unique_lock<std::mutex> lock(mutex);
      stopped.wait_for(lock, kLongestHold, [this] { return stopping; });
    }
    out.status = reply.status;
    if (reply.body.empty()) {
      out.set_content("", "application/json");
      return;
    }
    // Given whole, cpp-httplib would brotli-compress the body (milliseconds of CPU per reply);
    // a provider of known length is sent as it is.
    auto body = std::make_shared<const std::string>(reply.body);
    out.set_content_provider(
        body->size(), "application/json",
        [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(body->data() + offset, std::min(length, body->size() - offset));
        });
  }
};

LocalHttpsServer::LocalHttpsServer(const std::string& certificatePem,
                                   const std::string& privateKeyPem, Script script,
                                   std::size_t workerThreads)
    : impl_(std::make_unique<Impl>()) {
  impl_->script = std::move(script);
  BIO* certBio = BIO_new_mem_buf(certificatePem.data(), static_cast<int>(certificatePem.size()));
  BIO* keyBio = BIO_new_mem_buf(privateKeyPem.data(), static_cast<int>(privateKeyPem.size()));
  X509* certificate = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  BIO_free(certBio);
  BIO_free(keyBio);
  if (certificate && key) impl_->server = std::make_unique<httplib::SSLServer>(certificate, key);
  // The server's TLS context holds its own references.
  X509_free(certificate);
  EVP_PKEY_free(key);
  if (!impl_->server || !impl_->server->is_valid()) {
    ADD_FAILURE() << "the local HTTPS server could not load its certificate";
    impl_->server.reset();
    return;
  }
  httplib::SSLServer& server = *impl_->server;
  if (workerThreads > 0) {
    server.new_task_queue = [workerThreads] { return new httplib::ThreadPool(workerThreads); };
  }
  server.set_keep_alive_max_count(100000);
  server.set_tcp_nodelay(true);
  // Short, so that destroying the server does not wait long for idle kept-alive connections.
  server.set_keep_alive_timeout(1);
  auto handler = [impl = impl_.get()](const httplib::Request& in, httplib::Response& out) {
    impl->handle(in, out);
  };
  server.Get(".*", handler);
  server.Post(".*", handler);
  server.Put(".*", handler);
  server.Delete(".*", handler);
  impl_->port = server.bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) {
    ADD_FAILURE() << "the local HTTPS server could not bind to 127.0.0.1";
    return;
  }
  // The socket listens from here on; connections wait in its backlog until the loop runs.
  impl_->thread = std::thread([&server] { server.listen_after_bind(); });
}

LocalHttpsServer::~LocalHttpsServer() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->stopped.notify_all();
  if (impl_->server) impl_->server->stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int LocalHttpsServer::port() const { return impl_->port; }

std::string LocalHttpsServer::host() const { return "127.0.0.1:" + std::to_string(impl_->port); }

std::vector<ReceivedRequest> LocalHttpsServer::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests;
}

std::size_t LocalHttpsServer::requestCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests.size();
}

std::size_t LocalHttpsServer::connectionCount() const {
  std::set<int> ports;
  for (const ReceivedRequest& request : requests()) ports.insert(request.remotePort);
  return ports.size();
}

int unusedLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace orvane::site::testing
