// The library's TLS floor over a real handshake: a server that speaks only TLS 1.0 is refused by
// the library itself, whatever the system's OpenSSL configuration would allow, with an error
// that says why.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/certificate.h"

extern char** environ;

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  (void)::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  (void)::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool acceptsConnections(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

// `openssl s_server` limited to TLS 1.0, with security level 0 so that OpenSSL itself agrees
// to serve it; stopped with the test.
class OldTlsServer {
 public:
  explicit OldTlsServer(const standin::Certificate& certificate) {
    dir_ = std::filesystem::path(::testing::TempDir()) / ("old-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "cert.pem") << certificate.certPem();
    std::ofstream(dir_ / "key.pem") << certificate.keyPem();
    port_ = freePort();
    std::vector<std::string> args{"openssl",
                                  "s_server",
                                  "-quiet",
                                  "-www",
                                  "-tls1",
                                  "-cipher",
                                  "DEFAULT@SECLEVEL=0",
                                  "-accept",
                                  "127.0.0.1:" + std::to_string(port_),
                                  "-cert",
                                  (dir_ / "cert.pem").string(),
                                  "-key",
                                  (dir_ / "key.pem").string()};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    started_ = posix_spawnp(&pid_, "openssl", &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (started_ && !acceptsConnections(port_) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(10ms);
    }
  }
  ~OldTlsServer() {
    if (started_) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
  }
  OldTlsServer(const OldTlsServer&) = delete;
  OldTlsServer& operator=(const OldTlsServer&) = delete;

  bool started() const { return started_ && acceptsConnections(port_); }
  int port() const { return port_; }

 private:
  std::filesystem::path dir_;
  pid_t pid_ = 0;
  int port_ = 0;
  bool started_ = false;
};

TEST(TlsFloor, ATls10ServerIsRefusedAsOfferingTooOldAProtocol) {
  const standin::Certificate certificate = standin::Certificate::generate();
  OldTlsServer server(certificate);
  if (!server.started()) GTEST_SKIP() << "openssl s_server could not serve TLS 1.0 here";

  CurlTransportOptions options;
  options.caInfoPem = certificate.caPem();
  auto transport = std::make_shared<CurlTransport>(options);
  HttpRequest request;
  request.method = "GET";
  request.url = "https://127.0.0.1:" + std::to_string(server.port()) + "/";
  request.timeoutSeconds = 10;
  std::promise<HttpOutcome> promise;
  transport->send(std::move(request),
                  [&promise](HttpOutcome outcome) { promise.set_value(std::move(outcome)); });
  auto future = promise.get_future();
  ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
  const HttpOutcome outcome = future.get();
  EXPECT_EQ(outcome.failure, HttpOutcome::Failure::tlsFailure) << outcome.failureDetail;
  EXPECT_NE(outcome.failureDetail.find("too old a protocol"), std::string::npos)
      << outcome.failureDetail;
}

}  // namespace
}  // namespace orvane::site::testing
