// The library's TLS floor over a real handshake: a server that speaks only TLS 1.0 is refused by
// the library itself, whatever the system's OpenSSL configuration would allow, with an error
// that says why.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalProcess.h"
#include "support/SendAndWait.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;

// `openssl s_server` limited to TLS 1.0, with security level 0 so that OpenSSL itself agrees
// to serve it; stopped with the test.
class OldTlsServer {
 public:
  explicit OldTlsServer(const standin::Certificate& certificate) {
    dir_ = std::filesystem::path(::testing::TempDir()) / ("old-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "cert.pem") << certificate.certPem();
    std::ofstream(dir_ / "key.pem") << certificate.keyPem();
    port_ = unusedLocalPort();
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
    pid_ = spawnProcess(std::move(args));
    started_ = pid_ != 0;
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (started_ && !localPortAcceptsConnections(port_) &&
           std::chrono::steady_clock::now() < until) {
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

  bool started() const { return started_ && localPortAcceptsConnections(port_); }
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
  CurlTransport transport(options);
  const HttpOutcome outcome =
      sendAndWait(transport, "https://127.0.0.1:" + std::to_string(server.port()) + "/");
  EXPECT_EQ(outcome.failure, HttpOutcome::Failure::tlsFailure) << outcome.failureDetail;
  EXPECT_NE(outcome.failureDetail.find("too old a protocol"), std::string::npos)
      << outcome.failureDetail;
}

}  // namespace
}  // namespace orvane::site::testing
