// TLS over real handshakes: every connection checks the issuer and the host name, and the
// library's floor refuses a server that speaks only TLS 1.0, whatever the system's OpenSSL
// configuration would allow, with an error that says why.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/standin_server.h"
#include "support/LocalProcess.h"
#include "support/SendAndWait.h"

namespace orvane::site::testkit {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

void need(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: cannot ") + what);
}

template <typename Write>
std::string pemOf(Write write) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
  need(bio && write(bio.get()) == 1, "write PEM");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

std::string pem(X509* cert) {
  return pemOf([cert](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
}

std::string pem(EVP_PKEY* key) {
  return pemOf([key](BIO* bio) {
    return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  });
}

struct Issued {
  std::string certPem;
  std::string keyPem;
};

// A private authority that issues server certificates for exactly the names a test gives.
class TestAuthority {
 public:
  TestAuthority() : key_(EVP_EC_gen("P-256"), &EVP_PKEY_free), cert_(nullptr, &X509_free) {
    need(key_ != nullptr, "make a key");
    cert_ = sign(key_.get(), "basicConstraints", "critical,CA:TRUE");
  }

  std::string pem() const { return testkit::pem(cert_.get()); }

  /// A server certificate whose subjectAltName is `names`, such as "IP:127.0.0.1".
  Issued issue(const char* names) const {
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    need(key != nullptr, "make a key");
    Cert cert = sign(key.get(), "subjectAltName", names);
    return {testkit::pem(cert.get()), testkit::pem(key.get())};
  }

 private:
  // Signs a certificate for `subjectKey` with one extension; self-signed while cert_ is unset.
  Cert sign(EVP_PKEY* subjectKey, const char* extension, const char* value) const {
    static long serial = 1;
    Cert cert(X509_new(), &X509_free);
    need(cert != nullptr, "allocate");
    X509* issuer = cert_ ? cert_.get() : cert.get();
    const std::string name = "orvane-site trust test " + std::to_string(serial);
    need(X509_set_version(cert.get(), X509_VERSION_3) &&
             ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++) &&
             X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
             X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400) &&
             X509_set_pubkey(cert.get(), subjectKey) &&
             X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                                        reinterpret_cast<const unsigned char*>(name.c_str()), -1,
                                        -1, 0) &&
             X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer)),
         "fill a certificate");
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, cert.get(), nullptr, nullptr, 0);
    X509_EXTENSION* made = X509V3_EXT_conf(nullptr, &context, extension, value);
    need(made && X509_add_ext(cert.get(), made, -1), "add an extension");
    X509_EXTENSION_free(made);
    need(X509_sign(cert.get(), cert_ ? key_.get() : subjectKey, EVP_sha256()) > 0, "sign");
    return cert;
  }

  Key key_;
  Cert cert_;
};

// A stand-in serving `issued`, its files in a directory of its own.
std::unique_ptr<standin::StandinServer> serverWith(const std::string& caPem, const Issued& issued) {
  static int servers = 0;
  const auto dir = std::filesystem::path(::testing::TempDir()) /
                   ("trust-" + std::to_string(::getpid()) + "-" + std::to_string(servers++));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / standin::Certificate::kCaFile) << caPem;
  std::ofstream(dir / standin::Certificate::kCertFile) << issued.certPem;
  std::ofstream(dir / standin::Certificate::kKeyFile) << issued.keyPem;
  standin::StandinOptions options;
  options.certificateDirectory = dir;
  auto server = std::make_unique<standin::StandinServer>(options);
  server->start();
  std::filesystem::remove_all(dir);
  return server;
}

std::shared_ptr<CurlTransport> transportTrusting(const std::string& caPem) {
  CurlTransportOptions options;
  options.caInfoPem = caPem;
  return std::make_shared<CurlTransport>(options);
}

// The failure of one GET to `server`; none for a reply.
HttpOutcome::Failure get(HttpTransport& transport, const standin::StandinServer& server) {
  return sendAndWait(transport, "https://" + server.host() + "/").failure;
}

TEST(TrustStoreIntegration, EveryNewConnectionChecksIssuerAndHostName) {
  using Failure = HttpOutcome::Failure;
  TestAuthority trusted;
  TestAuthority other;
  std::vector<std::unique_ptr<standin::StandinServer>> good;
  for (int i = 0; i < 3; ++i)
    good.push_back(serverWith(trusted.pem(), trusted.issue("IP:127.0.0.1")));
  auto foreign = serverWith(other.pem(), other.issue("IP:127.0.0.1"));
  auto misnamed = serverWith(trusted.pem(), trusted.issue("DNS:elsewhere.invalid"));
  auto transport = transportTrusting(trusted.pem());

  for (int round = 0; round < 2; ++round) {
    for (const auto& server : good) {
      EXPECT_EQ(get(*transport, *server), Failure::none);
      EXPECT_EQ(get(*transport, *foreign), Failure::tlsFailure);
      EXPECT_EQ(get(*transport, *misnamed), Failure::tlsFailure);
    }
  }
  for (const auto& server : good) EXPECT_EQ(server->counters().requests, 2);
  EXPECT_EQ(foreign->counters().requests, 0);
  EXPECT_EQ(misnamed->counters().requests, 0);
}

// `openssl s_server` limited to TLS 1.0, with security level 0 so that OpenSSL itself agrees
// to serve it; stopped with the test.
class OldTlsServer {
 public:
  explicit OldTlsServer(const Issued& issued) {
    dir_ = std::filesystem::path(::testing::TempDir()) / ("old-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "cert.pem") << issued.certPem;
    std::ofstream(dir_ / "key.pem") << issued.keyPem;
    port_ = unusedLocalPort();
    pid_ =
        spawnProcess({"openssl", "s_server", "-quiet", "-www", "-tls1", "-cipher",
                      "DEFAULT@SECLEVEL=0", "-accept", "127.0.0.1:" + std::to_string(port_),
                      "-cert", (dir_ / "cert.pem").string(), "-key", (dir_ / "key.pem").string()});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pid_ != 0 && !started() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~OldTlsServer() {
    if (pid_ != 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::filesystem::remove_all(dir_);
  }
  OldTlsServer(const OldTlsServer&) = delete;
  OldTlsServer& operator=(const OldTlsServer&) = delete;

  bool started() const { return pid_ != 0 && localPortAcceptsConnections(port_); }
  std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  std::filesystem::path dir_;
  pid_t pid_ = 0;
  int port_ = 0;
};

TEST(TlsFloor, ATls10ServerIsRefusedAsOfferingTooOldAProtocol) {
  TestAuthority authority;
  OldTlsServer server(authority.issue("IP:127.0.0.1"));
  if (!server.started()) GTEST_SKIP() << "openssl s_server could not serve TLS 1.0 here";
  const HttpOutcome outcome = sendAndWait(*transportTrusting(authority.pem()), server.url());
  EXPECT_EQ(outcome.failure, HttpOutcome::Failure::tlsFailure) << outcome.failureDetail;
  EXPECT_NE(outcome.failureDetail.find("too old a protocol"), std::string::npos)
      << outcome.failureDetail;
}

}  // namespace
}  // namespace orvane::site::testkit
